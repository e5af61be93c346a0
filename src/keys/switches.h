// The shell variables that switch the plugin's keys: QUORVIN_EXPAND (bash mode) and
// QUORVIN_KEYS (Tab, Space and verify). Each is read through the shell only when a key on a line
// that may hold a reference needs it, so a change counts from the next such key.
#pragma once

// Bash mode is on: QUORVIN_EXPAND reads "bash" in any case, now.
bool BashModeOn();

// What QUORVIN_KEYS asks for.
struct KeySwitch {
  bool tab;     // Tab expands the text before the cursor in place
  bool space;   // so does Space, which then goes on to the shell
  bool verify;  // Enter leaves an expansion on the line instead of running it
};

// Reads QUORVIN_KEYS now: words in any case, separated by blanks, tabs or commas; unknown words
// are ignored.
KeySwitch ReadKeySwitch();
