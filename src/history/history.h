// History expansion: the keystroke trigger, which expands a line by the default rules or, in bash
// mode, by bash's (the engine behind it is private to this folder: engine.h), and the error beep.
#pragma once

#include <cstdint>

#include "host/host_api.h"

// What happens to the key after a successful expansion.
enum ExpansionMode {
  ExecuteAfterExpand,  // the key goes on to the shell, which executes the new line
  ExpandOnly,          // the key is swallowed; the new line stays on the edit line
};

constexpr int kKeyEnter = 13;
constexpr int kKeyShiftEnter = 0x80D;  // the shell's own code for Shift-Enter
constexpr int kKeyTab = 9;
constexpr int kKeySpace = 32;
constexpr int kKeyNameVersion = 24;  // shells from this major version supply key names

// Expands the line of `event` when its key is Enter or Shift-Enter and the line begins with
// '!' or, for bash mode, holds a '!' or begins with '^'; with QUORVIN_KEYS, expands the text
// before the cursor for Tab or Space, and leaves an Enter's expansion on the line. Always 0.
int HandleKey(KeyEvent* event);

// Sounds the configured error beep without waiting. 0 for modes 0 to 6, 87 for any other.
uint32_t PlayErrorBeep();
