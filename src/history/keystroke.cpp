// The keystroke handler: decides whether a key is Enter or Shift-Enter, chooses the rules a
// line is expanded by (the default rules for a line that begins with a bang, bash's in bash
// mode), and writes the outcome into the shell's key record.
#include "core/diagnostics.h"
#include "core/identity.h"
#include "core/settings_record.h"
#include "history/engine.h"
#include "history/history.h"
#include "platform/platform.h"
#include "text/text.h"

namespace {

// Bits the working copy of the key code gets for two modifier pairs, so that Shift+Ctrl and
// Ctrl+Alt never match a plain key code.
constexpr int kShiftCtrlBit = 0x20000;
constexpr int kCtrlAltBit = 0x40000;

// The shell variable that switches bash mode on with the value "bash" in any case; read at
// every Enter or Shift-Enter that may need it, so a change takes effect at the next one.
constexpr const char16_t* kBashModeVariable = u"%[QUORVIN_EXPAND]";

bool Held(int virtualKey) {
  return win::GetAsyncKeyState(virtualKey) < 0;
}

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

// The key code or name may be Enter or Shift-Enter: one compare, before the line is read.
bool MayBeExpansionKey(const KeyEvent* event) {
  if (event->key == kKeyEnter || event->key == kKeyShiftEnter) return true;
  return HostMajorVersion >= kKeyNameVersion && event->keyName != nullptr &&
         (text::FoldAscii(event->keyName[0]) == u'e' || text::FoldAscii(event->keyName[0]) == u's');
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

// Expands the line by the rules of its kind and mode and writes the outcome: the new line, or the
// failure path. `keyNameMode` says whether swallowing the key also empties its name. Always 0.
int ExpansionDriver(KeyEvent* event, ExpansionMode mode, bool keyNameMode) {
  const char16_t* line = event->line;
  LineExpansion x;
  // The default rules first: a line they expand expands the same way in bash mode, which
  // only takes the lines they fail or leave alone.
  if (line[0] == u'!') {
    x = ExpandDefaultLine(line);
    if (x.outcome != kLineExpanded) {
      ReleaseExpansion(&x);
      if (!BashModeOn()) return FailExpansion(event, keyNameMode);
    }
  }
  if (x.outcome != kLineExpanded) {
    x = ExpandBashLine(line);
    // A line the default rules failed stays failed; any other without a reference runs as
    // typed, silently.
    if (x.outcome == kLineNoReference && line[0] == u'!') x.outcome = kLineFailed;
  }
  switch (x.outcome) {
    case kLineNoReference:
      return 0;
    case kLineFailed:
      ReleaseExpansion(&x);
      return FailExpansion(event, keyNameMode);
    case kLineExpanded:
      break;
  }
  FinishExpansion(event, x.printOnly ? ExpandOnly : mode, keyNameMode, x.text);
  ReleaseExpansion(&x);
  return 0;
}

}  // namespace

int HandleKey(KeyEvent* event) {
  // Every keystroke of the command line arrives here and must cost next to nothing. A line
  // that does not begin with a bang can be expanded only in bash mode: it goes on only for a
  // key that may be Enter or Shift-Enter and a line that may hold a reference, and only then is
  // the shell asked for the mode.
  if (event == nullptr || event->line == nullptr) return 0;
  if (event->line[0] != u'!' &&
      !(MayBeExpansionKey(event) && MayHoldBashReference(event->line) && BashModeOn())) {
    return 0;
  }

  const bool keyNameMode =
      HostMajorVersion >= kKeyNameVersion && event->keyName != nullptr && event->keyName[0] != 0;

  int modifiers = 0;
  if (Held(win::kVkShift)) modifiers += 1;
  if (Held(win::kVkControl)) modifiers += 2;
  if (Held(win::kVkMenu)) modifiers += 4;

  int code = event->key;
  if (modifiers == 3) code |= kShiftCtrlBit;
  if (modifiers == 6) code |= kCtrlAltBit;

  if (keyNameMode) {
    if (text::EqualsIgnoreAsciiCase(event->keyName, u"Enter")) {
      ExpansionDriver(event, ExecuteAfterExpand, true);
    } else if (text::EqualsIgnoreAsciiCase(event->keyName, u"Shift-Enter")) {
      ExpansionDriver(event, ExpandOnly, true);
    }
    return 0;
  }

  if (code == kKeyEnter && modifiers == 0) {
    ExpansionDriver(event, ExecuteAfterExpand, false);
  } else if ((code == kKeyEnter && modifiers == 1) || code == kKeyShiftEnter) {
    ExpansionDriver(event, ExpandOnly, false);
  }
  return 0;
}
