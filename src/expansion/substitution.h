// The :s modifier of both grammars: its reader, the search for an old text within a span, and
// the one substitution both rules apply.
#pragma once

#include <cstddef>

#include "expansion/budget.h"
#include "expansion/expansion.h"
#include "text/search.h"

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

// Reads the :s modifier at `p` (at its delimiter) of the chain that leads the first reference of
// a line that begins with '!', in bash mode: as the default rules read it (true) unless bash's
// rules read it closed, by a delimiter typed past `chainEnd` (false, `*sub` bash's reading), where
// `chainEnd` is where the default rules' reading of the whole chain ends. So a :p, a blank or any
// more of the line that does not close bash's reading never changes what it means: "C:\" stays a
// text of "!!:s/C:\/D:\/:p", while "!!:s/\/usr/\/opt/" is bash's. False too, `sub->end` null,
// when the default rules do not read it.
bool ReadLeadingSubstitution(const char16_t* p, const char16_t* chainEnd, TypedSubstitution* sub);

// Where the default rules' reading of the chain of :s modifiers at `p` ends: past every one of
// them that they read.
const char16_t* DefaultChainEnd(const char16_t* p);

// Writes a text as typed (`typed`, `length` units) into `out` with each backslash that quotes
// `d` taken away: its length.
size_t UnquoteText(const char16_t* typed, size_t length, const Delimiter& d, char16_t* out);

// A text to find in the spans of a line, prepared once for all of them.
struct Pattern {
  const char16_t* units;  // the text, terminated for the shell's case-blind search
  size_t length;          // its units, at least 1
  bool foldCase;          // searches ignore case, as the settings say
  text::Needle needle;    // the same prepared for the plugin's own search
};

// Prepares `units` (`length` units, not 0, with a terminator after them); its cost is spent from
// `budget`.
Pattern PreparePattern(const char16_t* units, size_t length, Budget* budget);

// Whether the shell's case-blind search may be asked for `find` in `text` (`length` units): a
// case-blind pattern, a simple search of the text would compare at most kShellSearchShare units a
// unit of it, and the text may hold an occurrence (the plugin's own search tells a text of ASCII
// alone where no unit folds as the pattern's first does). The units read are spent from `budget`.
bool ShellMaySearch(const char16_t* text, size_t length, const Pattern& find, Budget* budget);

// The first occurrence of `find` in `text` (`textLength` units) that begins at or after `from`,
// within that span, that splits no surrogate pair of `text`; null when there is none, or when
// the budget runs out. The exact search is the plugin's own. A case-blind one asks the shell's
// `_stristr` when `askShell` (ShellMaySearch of the span), which reads to a terminator (it is
// handed `text` itself when `text[textLength]` ends it, else a terminated copy in `scratch`,
// kLineCapacity units), where the most that search could compare fits what is left of the
// budget, which is spent before it is asked; an answer of the shell's outside the span, or too
// near its end, is none. Otherwise the plugin searches itself, folding as the shell does. What
// is read and compared is spent from `budget`.
const char16_t* FindOccurrence(const char16_t* text, size_t textLength, size_t from,
                               const Pattern& find, bool askShell, char16_t* scratch,
                               Budget* budget);

// The last occurrence of `find` in `text` (`textLength` units) that splits no surrogate pair, by
// the plugin's own search (folding as the shell does when the search ignores case); null when
// there is none or the budget runs out.
const char16_t* FindLastOccurrence(const char16_t* text, size_t textLength, const Pattern& find,
                                   Budget* budget);

// How a substitution applies: to the first occurrence, to every one (:g, :a), or once in each
// word (:G).
enum SubstituteScope { kFirst, kGlobal, kEachWord };

// One substitution: the old text, prepared, and the new one (final: no '&' left to read).
struct Replacement {
  const Pattern* old;
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
