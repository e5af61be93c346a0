// Which key the shell hands over: from its name on shells that name keys, else from its code and
// the modifier keys. Inline, so that a key the handler does not act on costs a compare or two.
#pragma once

#include "core/identity.h"
#include "host/host_api.h"
#include "keys/keys.h"
#include "platform/platform.h"
#include "text/text.h"

// The keys the handler acts on, and every other.
enum Key {
  kOtherKey,
  kEnterKey,
  kShiftEnterKey,
  kTabKey,
  kSpaceKey,
};

// The shell names the key: a shell of version 24 or later that gave a name. Swallowing the key
// then empties the name too.
inline bool ShellNamesKey(const KeyEvent* event) {
  return HostMajorVersion >= kKeyNameVersion && event->keyName != nullptr && event->keyName[0] != 0;
}

// The key a shell's key name names, in any case: "Enter", "Shift-Enter", "Tab", "Space", or
// another. A name whose first letter none of them has is told by that letter alone.
inline Key NamedKey(const char16_t* name) {
  const char16_t first = text::FoldAscii(name[0]);
  if (first != u'e' && first != u's' && first != u't') return kOtherKey;
  if (text::EqualsIgnoreAsciiCase(name, u"Enter")) return kEnterKey;
  if (text::EqualsIgnoreAsciiCase(name, u"Shift-Enter")) return kShiftEnterKey;
  if (text::EqualsIgnoreAsciiCase(name, u"Tab")) return kTabKey;
  if (text::EqualsIgnoreAsciiCase(name, u"Space")) return kSpaceKey;
  return kOtherKey;
}

// The key as far as it is known before the modifier keys are read: the name decides on its own;
// a code says only which of the four it may be (Enter stands for Shift-Enter too). Reads nothing
// of the system.
inline Key KeyBeforeModifiers(const KeyEvent* event) {
  if (ShellNamesKey(event)) return NamedKey(event->keyName);
  switch (event->key) {
    case kKeyEnter:
    case kKeyShiftEnter:
      return kEnterKey;
    case kKeyTab:
      return kTabKey;
    case kKeySpace:
      return kSpaceKey;
    default:
      return kOtherKey;
  }
}

// The key, from its name when the shell names it, else from its code and the modifier keys. The
// modifier keys are read in either case, all three and in this order, as the shell's own
// handlers do.
inline Key WhichKey(const KeyEvent* event) {
  // Bits the working copy of the key code gets for two modifier pairs, so that Shift+Ctrl and
  // Ctrl+Alt never match a plain key code.
  constexpr int kShiftCtrlBit = 0x20000;
  constexpr int kCtrlAltBit = 0x40000;
  int modifiers = 0;
  if (win::GetAsyncKeyState(win::kVkShift) < 0) modifiers += 1;
  if (win::GetAsyncKeyState(win::kVkControl) < 0) modifiers += 2;
  if (win::GetAsyncKeyState(win::kVkMenu) < 0) modifiers += 4;
  if (ShellNamesKey(event)) return NamedKey(event->keyName);

  int code = event->key;
  if (modifiers == 3) code |= kShiftCtrlBit;
  if (modifiers == 6) code |= kCtrlAltBit;
  if (code == kKeyEnter && modifiers == 0) return kEnterKey;
  if ((code == kKeyEnter && modifiers == 1) || code == kKeyShiftEnter) return kShiftEnterKey;
  if (code == kKeyTab && modifiers == 0) return kTabKey;
  if (code == kKeySpace && modifiers == 0) return kSpaceKey;
  return kOtherKey;
}
