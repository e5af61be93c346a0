// The key path: every key the user presses on the command line arrives at HandleKey, which
// leaves all but Enter, Shift-Enter, Tab and Space after a compare or two, chooses the rules a
// line is expanded by, and writes the outcome into the shell's key record; and the error beep.
#pragma once

#include <cstdint>

#include "host/host_api.h"

constexpr int kKeyEnter = 13;
constexpr int kKeyShiftEnter = 0x80D;  // the shell's own code for Shift-Enter
constexpr int kKeyTab = 9;
constexpr int kKeySpace = 32;
constexpr int kKeyNameVersion = 24;  // shells from this major version supply key names

// Expands the line of `event` when its key is Enter or Shift-Enter and the line begins with
// '!' or, for bash mode, holds a reference; with QUORVIN_KEYS, expands the text before the
// cursor for Tab or Space, and leaves an Enter's expansion on the line.
void HandleKey(KeyEvent* event);

// Sounds the configured error beep without waiting. 0 for modes 0 to 6, 87 for any other.
uint32_t PlayErrorBeep();
