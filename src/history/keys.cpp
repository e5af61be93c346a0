// The keys the handler acts on: decides which key was pressed (Enter, Shift-Enter, and, when the
// user asks for them, Tab and Space), chooses the rules a line is expanded by (the default rules
// for a line that begins with a bang, bash's in bash mode), and writes the outcome into the
// shell's key record: the whole line for Enter, the text before the cursor for Tab and Space.
#include <cstring>

#include "core/diagnostics.h"
#include "core/identity.h"
#include "core/settings_record.h"
#include "history/engine.h"
#include "history/history.h"
#include "platform/platform.h"
#include "text/text.h"

namespace {

// The shell variable that switches bash mode on with the value "bash" in any case; read at
// every Enter or Shift-Enter that may need it, so a change takes effect at the next one.
constexpr const char16_t* kBashModeVariable = u"%[QUORVIN_EXPAND]";

// The shell variable that asks for the keys of expansion in place and for verify: words of
// kKeyWords in any case, separated by blanks, tabs or commas; read only when one of those keys
// is pressed on a line that may hold a reference.
constexpr const char16_t* kKeysVariable = u"%[QUORVIN_KEYS]";

// The text before the cursor, ended, for an expansion in place; then the new line made of its
// expansion and the text after the cursor. Process-wide for its size, not on the shell's stack;
// written and read within one keystroke.
char16_t TextBeforeCursor[kLineCapacity];

// What QUORVIN_KEYS asks for.
struct KeySwitch {
  bool tab;     // Tab expands the text before the cursor in place
  bool space;   // so does Space, which then goes on to the shell
  bool verify;  // Enter leaves an expansion on the line instead of running it
};

// Swallows the key: the shell neither executes the line nor sees the key's name.
void SwallowKey(KeyEvent* event, bool keyNameMode) {
  event->key = 0;
  if (keyNameMode) event->keyName[0] = 0;
}

// One scan of a line that does not begin with '!': bash mode could find a reference in it.
bool MayHoldBashReference(const char16_t* line) {
  if (line[0] == u'^') return true;
  for (const char16_t* p = line; *p != 0; ++p) {
    if (*p == u'!') return true;
  }
  return false;
}

// Bash mode is on: the shell variable reads "bash" in any case, now.
bool BashModeOn() {
  return text::EqualsIgnoreAsciiCase(ExpandShellText(kBashModeVariable), u"bash");
}

// Reads QUORVIN_KEYS now. Unknown words are ignored.
KeySwitch ReadKeySwitch() {
  KeySwitch keys = {false, false, false};
  const char16_t* p = ExpandShellText(kKeysVariable);
  while (*p != 0) {
    while (*p == u' ' || *p == u'\t' || *p == u',') ++p;
    const char16_t* start = p;
    while (*p != 0 && *p != u' ' && *p != u'\t' && *p != u',') ++p;
    const size_t length = static_cast<size_t>(p - start);
    char16_t word[8] = {};  // long enough for the longest word and one unit more
    if (length == 0 || length >= sizeof word / sizeof word[0]) continue;
    for (size_t k = 0; k < length; ++k) word[k] = start[k];
    if (text::EqualsIgnoreAsciiCase(word, u"tab")) keys.tab = true;
    if (text::EqualsIgnoreAsciiCase(word, u"space")) keys.space = true;
    if (text::EqualsIgnoreAsciiCase(word, u"verify")) keys.verify = true;
  }
  return keys;
}

// The keys the key may be before the modifier keys are read: Enter or Shift-Enter, Tab, Space.
// A name decides on its own, as it does when the key is told.
struct KeyGuess {
  bool enter;
  bool tab;
  bool space;
};

KeyGuess GuessKey(const KeyEvent* event) {
  if (KeyNameMode(event)) {
    const PressedKey named = NamedKey(event->keyName);
    return {named == kEnterKey || named == kShiftEnterKey, named == kTabKey, named == kSpaceKey};
  }
  return {event->key == kKeyEnter || event->key == kKeyShiftEnter, event->key == kKeyTab,
          event->key == kKeySpace};
}

// The failure path: the line, the cursor and the redraw flag stay as they are. Always 0.
int FailExpansion(KeyEvent* event, bool keyNameMode) {
  if (PluginSettings.executeOnFailure == 0) SwallowKey(event, keyNameMode);
  if (PluginSettings.errorBeepMode != BeepNone) PlayErrorBeep();
  return 0;
}

// Writes the expansion `result` (at most 65535 units) into the line. Always 0.
int FinishExpansion(KeyEvent* event, ExpansionMode mode, bool keyNameMode, const char16_t* result) {
  ClearEditLine(event->line);
  text::Copy(event->line, kLineCapacity, result);
  event->redraw = 1;
  event->cursor = event->line + text::Length(event->line);
  if (mode == ExpandOnly) SwallowKey(event, keyNameMode);
  return 0;
}

// Expands `line` by the rules of its kind and mode: the default rules for a line that begins
// with '!', then, in bash mode (asked of the shell only when needed, unless `bashMode` is already
// known to be on), bash's rules for the lines they fail or leave alone (`rest`, when `line` is
// the text before the cursor, being the typed text after it). A line that begins with '!' and
// that neither expands fails.
LineExpansion Expand(const char16_t* line, bool bashMode, const char16_t* rest = nullptr) {
  LineExpansion x;
  if (line[0] == u'!') {
    x = ExpandDefaultLine(line);
    if (x.outcome == kLineExpanded) return x;
    ReleaseExpansion(&x);
    if (!bashMode && !BashModeOn()) return x;
  }
  x = ExpandBashLine(line, rest);
  if (x.outcome == kLineNoReference && line[0] == u'!') x.outcome = kLineFailed;
  return x;
}

// Expands the whole line for Enter or Shift-Enter and writes the outcome: the new line, or the
// failure path. With verify asked for, Enter leaves the expansion on the line as Shift-Enter
// does. `keyNameMode` says whether swallowing the key also empties its name. Always 0.
int ExpansionDriver(KeyEvent* event, ExpansionMode mode, bool keyNameMode, bool bashMode) {
  LineExpansion x = Expand(event->line, bashMode);
  switch (x.outcome) {
    case kLineNoReference:
      return 0;  // runs as typed, silently
    case kLineFailed:
      ReleaseExpansion(&x);
      return FailExpansion(event, keyNameMode);
    case kLineExpanded:
      break;
  }
  if (x.printOnly || (mode == ExecuteAfterExpand && ReadKeySwitch().verify)) mode = ExpandOnly;
  FinishExpansion(event, mode, keyNameMode, x.text);
  ReleaseExpansion(&x);
  return 0;
}

// Expands the text before the cursor in place for Tab or Space: the expansion, then the text
// after the cursor as it was, with the cursor after the expansion. Tab is swallowed, Space goes
// on to the shell. Nothing changes and nothing sounds when the text holds no reference, fails,
// would make the line longer than 65535 units, or, for Space, ends inside a substitution whose
// closing delimiter is not typed yet. Always 0.
int ExpandInPlace(KeyEvent* event, PressedKey pressed, bool keyNameMode, bool bashMode) {
  char16_t* line = event->line;
  const size_t length = text::BoundedLength(line, kLineCapacity);
  if (length > kMaxLineLength || event->cursor == nullptr || event->cursor <= line ||
      event->cursor > line + length) {
    return 0;
  }
  const size_t before = static_cast<size_t>(event->cursor - line);
  text::CopyN(TextBeforeCursor, kLineCapacity, line, before);
  LineExpansion x = Expand(TextBeforeCursor, bashMode, line + before);
  const size_t made = x.outcome == kLineExpanded ? text::Length(x.text) : 0;
  const bool fits = made + (length - before) <= kMaxLineLength;
  if (x.outcome == kLineExpanded && fits && !(pressed == kSpaceKey && x.openSubstitution)) {
    // The new line is made whole before the shell erases the line, which may erase the buffer
    // with it: the expansion, then the text after the cursor.
    std::memmove(TextBeforeCursor, x.text, made * sizeof(char16_t));
    std::memcpy(TextBeforeCursor + made, line + before, (length - before) * sizeof(char16_t));
    TextBeforeCursor[made + length - before] = 0;
    ClearEditLine(line);
    text::Copy(line, kLineCapacity, TextBeforeCursor);
    event->cursor = line + made;
    event->redraw = 1;
    if (pressed == kTabKey) SwallowKey(event, keyNameMode);
  }
  ReleaseExpansion(&x);
  return 0;
}

}  // namespace

int ActOnKey(KeyEvent* event, PressedKey pressed) {
  bool bashMode = false;
  KeySwitch keys = {false, false, false};
  bool keysRead = false;
  if (pressed == kUnclassifiedKey) {
    if (!MayHoldBashReference(event->line)) return 0;
    const KeyGuess guess = GuessKey(event);
    if (guess.tab || guess.space) {
      keys = ReadKeySwitch();
      keysRead = true;
    }
    const bool inPlace = (guess.tab && keys.tab) || (guess.space && keys.space);
    if ((!guess.enter && !inPlace) || !BashModeOn()) return 0;
    bashMode = true;
  }

  const bool keyNameMode = KeyNameMode(event);
  if (pressed == kUnclassifiedKey) pressed = Classify(event, keyNameMode);
  switch (pressed) {
    case kEnterKey:
      return ExpansionDriver(event, ExecuteAfterExpand, keyNameMode, bashMode);
    case kShiftEnterKey:
      return ExpansionDriver(event, ExpandOnly, keyNameMode, bashMode);
    case kTabKey:
    case kSpaceKey:
      if (!keysRead) keys = ReadKeySwitch();
      if (pressed == kTabKey ? keys.tab : keys.space) {
        return ExpandInPlace(event, pressed, keyNameMode, bashMode);
      }
      return 0;
    case kOtherKey:
    case kUnclassifiedKey:
      return 0;
  }
  return 0;
}
