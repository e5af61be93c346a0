// History expansion: the keystroke trigger and driver, the resolution of history references,
// the :s substitution modifier and the error beep.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/core.h"
#include "host/host_api.h"

// ==== Keystroke trigger and driver ====

// What happens to the key after a successful expansion.
enum ExpansionMode {
  ExecuteAfterExpand,  // the key goes on to the shell, which executes the new line
  ExpandOnly,          // the key is swallowed; the new line stays on the edit line
};

constexpr int kKeyEnter = 13;
constexpr int kKeyShiftEnter = 0x80D;  // the shell's own code for Shift-Enter
constexpr int kKeyNameVersion = 24;    // shells from this major version supply key names

// Expands the line of `event` when its key is Enter or Shift-Enter. Always 0.
int HandleKey(KeyEvent* event);

// Replaces a line that begins with '!' by the entry it refers to, with every :s modifier
// applied in turn, or takes the failure path and leaves the line as typed. `keyNameMode` says
// whether swallowing the key also empties its name. Always 0.
int ExpansionDriver(KeyEvent* event, ExpansionMode mode, bool keyNameMode);

// The newest history entry, or null when the history is empty.
char16_t* NewestEntry();

// ==== History references ====

constexpr size_t kWordCapacity = 1024;  // a search word: 1023 units and the terminator

// The answer of `ResolveReference`.
struct Reference {
  bool isReference;      // false: the text after the bang fits no reference form
  char16_t* entry;       // the entry named, or null when it names none
  const char16_t* rest;  // where the rest of the line begins (for a reference)
};

// Resolves the reference that begins at `text`, just after the first bang.
Reference ResolveReference(const char16_t* text);

// Reads a history number (decimal with optional sign, or 0x hexadecimal) at `text`.
// Returns 0 and sets `*value` and `*end`; -1 when `text` does not begin with a number;
// ERANGE (34) when the number lies outside its 32-bit range.
int ParseHistoryNumber(const char16_t* text, int32_t* value, const char16_t** end);

// The entry at `position`: 1 is the oldest; negative positions count from the newest and
// clamp to the oldest; 0 or beyond the newest gives null.
char16_t* EntryByNumber(int64_t position);

// The entry a history number names: from the oldest for a number of 0 or more (the oldest is
// 0 or 1, by the counting base), from the newest for a negative one.
char16_t* EntryForNumber(int32_t value);

// The newest entry from `first` on that begins with (prefixOnly) or contains `word`, whose
// length is `length`; null when none does or the word is empty.
char16_t* FindEntry(const char16_t* word, bool prefixOnly, char16_t* first, size_t length);

// ==== Substitution modifier ====

constexpr size_t kModifierTextCapacity = 1024;  // old or new text: 1023 units and terminator

// One parsed :s modifier.
struct SubstitutionModifier {
  char16_t oldText[kModifierTextCapacity];  // the text to find, 1 to 1023 units
  char16_t newText[kModifierTextCapacity];  // the replacement, 0 to 1023 units
};

// Parses the one :s modifier that begins at `at`: the position just after it, or null when
// it is malformed. A rest of the line is good when modifiers parse one after another up to
// its terminator.
const char16_t* ParseModifier(const char16_t* at, SubstitutionModifier* out);

// The first occurrence of `find` (`findLength` units, not 0) in `text` (`textLength` units):
// by exact comparison, or through the shell's `_stristr` when `foldCase`. Null when there is
// none, and also when `_stristr` answers a position outside `text` or too near its end to
// hold `findLength` units.
const char16_t* FindOccurrence(const char16_t* text, size_t textLength, const char16_t* find,
                               size_t findLength, bool foldCase);

// Writes `source` into `out` (kLineCapacity units, not `source`) with the first occurrence of
// `oldText` replaced by `newText`; searches ignore case as the settings say.
//   1  replaced
//   0  the old text is empty or does not occur
//  -2  the result would be longer than 65535 units
// On 0 and -2 `out` holds nothing of use.
int SubstituteFirst(const char16_t* source, char16_t* out, const char16_t* oldText,
                    const char16_t* newText);

// ==== Error beep ====

// Sounds the configured error beep without waiting. 0 for modes 0 to 6, 87 for any other.
uint32_t PlayErrorBeep();

