// The gate of the keystroke path: every key the user presses on the command line arrives here,
// and all but the few the handler may act on leave after one or two compares.
#include "expansion/expansion.h"
#include "keys/actions.h"

namespace {

// Acts on `key` (one of the four): expands the line, or the text before the cursor. `keys` is
// QUORVIN_KEYS when it has been read already, else null.
void ActOnKey(KeyEvent* event, Key key, BashModeKnown bash, const KeySwitch* keys) {
  switch (key) {
    case kEnterKey:
    case kShiftEnterKey:
      ExpandWholeLine(event, key == kEnterKey, bash);
      return;
    case kTabKey:
    case kSpaceKey: {
      const KeySwitch asked = keys != nullptr ? *keys : ReadKeySwitch();
      if (key == kTabKey ? asked.tab : asked.space) ExpandBeforeCursor(event, key, bash);
      return;
    }
    case kOtherKey:
      return;
  }
}

}  // namespace

void HandleKey(KeyEvent* event) {
  if (event == nullptr || event->line == nullptr) return;
  // On a line that begins with a bang the key is told at once, the modifier keys read, as every
  // key there always has been.
  if (event->line[0] == u'!') {
    const Key key = WhichKey(event);
    if (key != kOtherKey) ActOnKey(event, key, kBashModeUnasked, nullptr);
    return;
  }
  // Any other line only bash mode can expand, and every keystroke must cost next to nothing: it
  // goes on only for a key that may be one of the four and a line that holds a reference; then
  // for Tab or Space the shell is asked whether they expand, and only then whether bash mode is
  // on. The modifier keys are read last.
  const Key likely = KeyBeforeModifiers(event);
  if (likely == kOtherKey || !HoldsBashReference(event->line)) return;
  KeySwitch keys = {false, false, false};
  const bool inPlace = likely == kTabKey || likely == kSpaceKey;
  if (inPlace) {
    keys = ReadKeySwitch();
    if (!(likely == kTabKey ? keys.tab : keys.space)) return;
  }
  if (!BashModeOn()) return;
  ActOnKey(event, WhichKey(event), kBashModeOn, inPlace ? &keys : nullptr);
}
