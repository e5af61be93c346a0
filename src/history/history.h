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

// Expands the line of `event` when its key is Enter or Shift-Enter and the line begins with
// '!' or, for bash mode, holds a '!' or begins with '^'. Always 0.
int HandleKey(KeyEvent* event);

// Replaces a line that begins with '!' by the entry it refers to, with every :s modifier
// applied in turn; when those rules fail it and bash mode is on, and for every other line
// (HandleKey passes one on only in bash mode), bash's rules expand the line. A line that
// cannot be expanded takes the failure path and stays as typed. `keyNameMode` says whether
// swallowing the key also empties its name. Always 0.
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

// Reads a history number (the digits 0-9 with an optional sign, or 0x hexadecimal) at `text`.
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
// hold `findLength` units. An occurrence that would split a surrogate pair of `text` at its
// start or end does not count.
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

// ==== Bash mode ====

// What `ExpandBashLine` made of a line.
enum BashOutcome {
  BashNoReference,  // no history reference in the line: it runs as typed; nothing allocated
  BashExpanded,     // *result holds the new line
  BashFailed,       // a reference, designator or substitution failed, or the line would be too long
};

// Expands every history reference of `line` by bash's rules, with the shell's quotes, its escape
// character '^' and Quorvin's numbering and searches (bash_expansion.cpp has the grammar). On
// BashExpanded, `*result` is a heap block of at least kLineCapacity units holding the new line
// (at most 65535 units), which the caller gives back with std::free, and `*printOnly` tells
// whether a :p modifier was met. On the other outcomes nothing stays allocated and `*result` is
// null. The line is only read.
BashOutcome ExpandBashLine(const char16_t* line, char16_t** result, bool* printOnly);

// The words a designator selects, by 0-based index.
struct WordRange {
  size_t first;     // the first word
  size_t last;      // the last word, when lastFromEnd is negative
  int lastFromEnd;  // -1: `last` holds it; 0: the last word of the text; 1: the word before it
  bool allowEmpty;  // "x-": a range that ends before it begins is empty, not a failure
  bool star;        // "*": empty, not a failure, when the text has no word after the zeroth
};

// The next word of `text` (`length` units) from `*at` on, split as bash splits a history entry
// but with the shell's quotes (double quote and back-quote): true and its span [*start, *end),
// with `*at` moved past it; false at the end of the text, or, when `comments`, at a word that
// begins with '#'.
bool NextBashWord(const char16_t* text, size_t length, bool comments, size_t* at, size_t* start,
                  size_t* end);

// The number of words of `text`.
size_t CountBashWords(const char16_t* text, size_t length);

// The word of `text` that holds the unit at `offset`: true and its span; false when that unit
// lies between words or in a comment.
bool FindBashWordAt(const char16_t* text, size_t length, size_t offset, size_t* start, size_t* end);

// Writes the words of `range` into `out` (kLineCapacity units), separated by single blanks.
//   0  written; `*outLength` is its length (0 for an empty selection)
//  -1  a word of the range does not exist, or the words would be longer than 65535 units
int SelectBashWords(const char16_t* text, size_t length, const WordRange& range, char16_t* out,
                    size_t* outLength);

// Applies :h, :t, :r or :e (`which`) to `text` in place: the part before the last '/', after it,
// before the last '.' or from it. A text without that unit stays as it is.
void ApplyPathModifier(char16_t* text, size_t* length, char16_t which);

// Writes `text` in bash's single quotes into `out` (kLineCapacity units), a quote as '\'', and,
// for :x (`splitAtBlanks`), every blank as a word break ' '.
//   0  written, `*outLength` is its length;  -1  it would be longer than 65535 units
int QuoteBashText(const char16_t* text, size_t length, bool splitAtBlanks, char16_t* out,
                  size_t* outLength);
