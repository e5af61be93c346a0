// The keystroke handler: every key the user presses on the command line arrives here, and all but
// the few it may act on leave after one or two compares (keys.cpp acts on the rest); and which
// key it is, from its name or its code and the modifier keys.
#include <cstdint>

#include "core/identity.h"
#include "history/engine.h"
#include "history/history.h"
#include "platform/platform.h"
#include "text/text.h"

namespace {

// Bits the working copy of the key code gets for two modifier pairs, so that Shift+Ctrl and
// Ctrl+Alt never match a plain key code.
constexpr int kShiftCtrlBit = 0x20000;
constexpr int kCtrlAltBit = 0x40000;

bool Held(int virtualKey) {
  return win::GetAsyncKeyState(virtualKey) < 0;
}

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

// The key (Classify), written here so that the handler's own call of it is made in place.
inline PressedKey ClassifyKey(const KeyEvent* event, bool keyNameMode) {
  int modifiers = 0;
  if (Held(win::kVkShift)) modifiers += 1;
  if (Held(win::kVkControl)) modifiers += 2;
  if (Held(win::kVkMenu)) modifiers += 4;

  if (keyNameMode) return NamedKey(event->keyName);
  int code = event->key;
  if (modifiers == 3) code |= kShiftCtrlBit;
  if (modifiers == 6) code |= kCtrlAltBit;

  if (code == kKeyEnter && modifiers == 0) return kEnterKey;
  if ((code == kKeyEnter && modifiers == 1) || code == kKeyShiftEnter) return kShiftEnterKey;
  if (code == kKeyTab && modifiers == 0) return kTabKey;
  if (code == kKeySpace && modifiers == 0) return kSpaceKey;
  return kOtherKey;
}

}  // namespace

PressedKey NamedKey(const char16_t* name) {
  if (text::EqualsIgnoreAsciiCase(name, u"Enter")) return kEnterKey;
  if (text::EqualsIgnoreAsciiCase(name, u"Shift-Enter")) return kShiftEnterKey;
  if (text::EqualsIgnoreAsciiCase(name, u"Tab")) return kTabKey;
  if (text::EqualsIgnoreAsciiCase(name, u"Space")) return kSpaceKey;
  return kOtherKey;
}

bool KeyNameMode(const KeyEvent* event) {
  return HostMajorVersion >= kKeyNameVersion && event->keyName != nullptr &&
         event->keyName[0] != 0;
}

PressedKey Classify(const KeyEvent* event, bool keyNameMode) {
  return ClassifyKey(event, keyNameMode);
}

int HandleKey(KeyEvent* event) {
  // Every keystroke of the command line arrives here and must cost next to nothing. A line
  // that does not begin with a bang can be expanded only in bash mode: it goes on only for a
  // key that may be Enter, Shift-Enter, Tab or Space and a line that may hold a reference; then
  // for Tab or Space the shell is asked whether they expand, and only then whether bash mode is
  // on. The modifier keys are read after that.
  // On a line that begins with a bang the key is told at once, the modifier keys read, as every
  // key there always has been.
  if (event == nullptr || event->line == nullptr) return 0;
  if (event->line[0] == u'!') {
    const PressedKey pressed = ClassifyKey(event, KeyNameMode(event));
    return pressed == kOtherKey ? 0 : ActOnKey(event, pressed);
  }
  if (!MayBeKeyOfInterest(event)) return 0;
  return ActOnKey(event, kUnclassifiedKey);
}
