// What Enter and Shift-Enter do: the whole line expanded and written into the shell's line, or
// the failure path.
#include "core/settings_record.h"
#include "keys/actions.h"
#include "text/text.h"

namespace {

// The failure path: the line, the cursor and the redraw flag stay as they are. The key goes on,
// and the shell runs the line as typed, only when the settings say so and the user has not asked
// to see each expansion before it runs (verify): a failure then stays on the line.
void FailExpansion(KeyEvent* event, bool run) {
  if (PluginSettings.executeOnFailure == 0 || (run && ReadKeySwitch().verify)) SwallowKey(event);
  if (PluginSettings.errorBeepMode != BeepNone) PlayErrorBeep();
}

// Whether two terminated texts are the same, unit for unit.
bool SameText(const char16_t* a, const char16_t* b) {
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

}  // namespace

void ExpandWholeLine(KeyEvent* event, bool run, BashModeKnown bash) {
  LineExpansion x = ExpandTypedLine(event->line, bash);
  switch (x.outcome) {
    case kLineNoReference:
      return;  // runs as typed, silently
    case kLineFailed:
      ReleaseExpansion(&x);
      FailExpansion(event, run);
      return;
    case kLineExpanded:
      break;
  }
  // With verify the expansion waits on the line for a second look, unless it is the line as
  // typed: shown again, it would come back at every Enter and never run.
  if (x.printOnly || (run && ReadKeySwitch().verify && !SameText(x.text, event->line))) {
    run = false;
  }
  ClearEditLine(event->line);
  text::Copy(event->line, kLineCapacity, x.text);
  event->redraw = 1;
  event->cursor = event->line + text::Length(event->line);
  if (!run) SwallowKey(event);
  ReleaseExpansion(&x);
}
