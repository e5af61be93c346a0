// The :s modifier of both grammars: its reader, the search for an old text within a span, and
// the one substitution both rules apply.
#pragma once

#include <cstddef>

#include "expansion/budget.h"
#include "expansion/expansion.h"

// A delimiter: one whole character, a surrogate pair included.
struct Delimiter {
  char16_t units[2];  // the character; units[1] only when `length` is 2
  size_t length;      // 1 or 2

  // Whether the character at `p` (the start of a character) is this one.
  bool At(const char16_t* p) const;
};

// A :s modifier's texts as typed: "d old d new d" (or ^old^new^).
struct TypedSubstitution {
  Delimiter delimiter;
  const char16_t* old;   // the old text as typed
  size_t oldTyped;       // its units
  const char16_t* with;  // the new text as typed
  size_t withTyped;      // its units
  bool closed;           // the closing delimiter was typed
  const char16_t* end;   // the first unit after it
};

// Reads "d old d new [d]" at `p` (at the delimiter) by `dialect`. The default rules: d is a
// punctuation unit, the old text 1 to kMaxDefaultText units and closed by d, the new text at most
// kMaxDefaultText units, no escapes. Bash's rules: d is any character, a backslash before d
// quotes it, and both texts may run to the end of the line. False when malformed.
bool ReadSubstitution(Dialect dialect, const char16_t* p, TypedSubstitution* sub);

// Writes a text as typed (`typed`, `length` units) into `out` with each backslash that quotes
// `d` taken away: its length.
size_t UnquoteText(const char16_t* typed, size_t length, const Delimiter& d, char16_t* out);

// The first occurrence of `find` (`findLength` units, not 0) in `text` (`textLength` units) that
// begins at or after `from`, within that span: by exact comparison, or through the shell's
// `_stristr` when `foldCase`, which reads to a terminator: it is handed `text` itself when
// `text[textLength]` ends it, else a terminated copy in `scratch` (kLineCapacity units). Null
// when there is none, and also when `_stristr` answers a position outside the span or too near
// its end. An occurrence that would split a surrogate pair of `text` at its start or end does not
// count. The units scanned and compared are spent from `budget`; null when it runs out.
const char16_t* FindOccurrence(const char16_t* text, size_t textLength, size_t from,
                               const char16_t* find, size_t findLength, bool foldCase,
                               char16_t* scratch, Budget* budget);

// How a substitution applies: to the first occurrence, to every one (:g, :a), or once in each
// word (:G).
enum SubstituteScope { kFirst, kGlobal, kEachWord };

// One substitution: the old and new texts (the new one final: no '&' left to read).
struct Replacement {
  const char16_t* old;
  size_t oldLength;
  const char16_t* with;
  size_t withLength;
};

// The outcome of Substitute.
enum SubstituteOutcome {
  kReplaced,   // `out` holds the new text
  kNotFound,   // the old text does not occur (in no word, for kEachWord)
  kTooLong,    // the result would be longer than 65535 units
  kOverBudget  // the budget ran out
};

// Writes `source` (`length` units) into `out` (kLineCapacity units) with `r` applied in
// `scope`; the first search starts at `from` (no occurrence begins before it). `*firstAt` gets
// where the first replacement began. Searches ignore case as the settings say.
SubstituteOutcome Substitute(const char16_t* source, size_t length, size_t from,
                             const Replacement& r, SubstituteScope scope, char16_t* out,
                             size_t* outLength, size_t* firstAt, char16_t* scratch, Budget* budget);
