// The keystroke handler: every key the user presses on the command line arrives here, and all but
// the few it may act on leave after one or two compares (keys.cpp acts on the rest).
#include <cstdint>

#include "core/identity.h"
#include "history/engine.h"
#include "history/history.h"
#include "text/text.h"

namespace {

// Whether the key may be one the handler acts on: its code one of four, or (on shells that name
// keys) its name's first letter one of three. One test for a plain key.
bool MayBeKeyOfInterest(const KeyEvent* event) {
  constexpr uint64_t kCodes = 1ull << kKeyTab | 1ull << kKeyEnter | 1ull << kKeySpace;
  const auto code = static_cast<unsigned>(event->key);
  if (code < 64 ? ((kCodes >> code) & 1) != 0 : event->key == kKeyShiftEnter) return true;
  if (HostMajorVersion < kKeyNameVersion || event->keyName == nullptr) return false;
  const char16_t first = text::FoldAscii(event->keyName[0]);
  return first == u'e' || first == u's' || first == u't';
}

}  // namespace

int HandleKey(KeyEvent* event) {
  // Every keystroke of the command line arrives here and must cost next to nothing. A line
  // that does not begin with a bang can be expanded only in bash mode: it goes on only for a
  // key that may be Enter, Shift-Enter, Tab or Space and a line that may hold a reference; then
  // for Tab or Space the shell is asked whether they expand, and only then whether bash mode is
  // on. The modifier keys are read after that.
  if (event == nullptr || event->line == nullptr) return 0;
  if (event->line[0] != u'!' && !MayBeKeyOfInterest(event)) return 0;
  return ActOnKey(event);
}
