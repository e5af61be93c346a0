// What each key does, for the gate (gate.cpp): Enter and Shift-Enter expand the whole line
// (whole_line.cpp), Tab and Space the text before the cursor (in_place.cpp); both choose their
// rules alike (rules.cpp).
#pragma once

#include "expansion/expansion.h"
#include "host/host_api.h"
#include "keys/switches.h"
#include "keys/which_key.h"

// What is known of bash mode when a key is acted on: the shell is asked only when a line
// needs it.
enum BashModeKnown {
  kBashModeUnasked,  // not asked yet
  kBashModeOn,       // asked, and on
};

// Expands the whole line for Enter (`run`) or Shift-Enter and writes the outcome: the new line,
// or the failure path. With verify asked for, Enter leaves the expansion on the line as
// Shift-Enter does; so does a :p modifier.
void ExpandWholeLine(KeyEvent* event, bool run, BashModeKnown bash);

// Expands the text of `line` before `cut` (as for ExpandLine) by the rules of its kind: the
// default rules for a line that begins with '!', then, in bash mode (asked of the shell only when
// needed), bash's rules for the lines they fail or do not read. Only bash mode reads a line that
// does not begin with '!': with bash mode not known to be on, such a line holds no reference. A
// line that begins with '!' and that neither rule expands fails. In bash mode a ":p" that ends
// the text shows what the text without it gives, the default rules first.
LineExpansion ExpandTypedLine(const char16_t* line, BashModeKnown bash, size_t cut = kWholeLine);

// Swallows the key: the shell neither executes the line nor sees the key's name.
void SwallowKey(KeyEvent* event);

// Expands the text before the cursor in place for Tab or Space (in_place.cpp).
void ExpandBeforeCursor(KeyEvent* event, Key key, BashModeKnown bash);
