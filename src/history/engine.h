// The expansion engine under the keystroke handler, private to src/history (and its tests): the
// default rules and bash's rules read a line with one reference scanner, one :s reader and one
// substitution, resolve events through one view of the shell's history, and count what they
// examine against one budget.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/shell_history.h"
#include "host/host_api.h"

// The default rules hold a search word and each text of a :s modifier to this many units; bash's
// rules hold them to the line's length.
constexpr size_t kMaxDefaultText = 1023;

// The grammar a line is read by.
enum Dialect {
  kDefaultDialect,  // a line that begins with '!': one reference and its :s modifiers
  kBashDialect,     // bash's history expansion over the whole line
};

// ==== The budget of one Enter ====
// Every unit the engine examines (compares, copies, scans, walks) is counted against a budget of
// 8 units for each unit of the history it walks and 8 for each unit of the shell's line. No line
// a person types comes near it; a line built to exceed it fails as every failure does.

constexpr uint64_t kBudgetPerUnit = 8;

struct Budget {
  uint64_t left;      // units still allowed; spent by Spend, added to by Grant
  bool over = false;  // a Spend asked for more than was left: the line fails

  // Counts `units`; false once the budget is spent, and from then on for any count, none too.
  bool Spend(uint64_t units) {
    if (over || units > left) {
      left = 0;
      over = true;
      return false;
    }
    left -= units;
    return true;
  }
  void Grant(uint64_t units) { left += units * kBudgetPerUnit; }
  bool Spent() const { return over; }
};

// A budget for one Enter, before any walk of the history.
inline Budget StartBudget() {
  return Budget{kBudgetPerUnit * kLineCapacity};
}

// ==== The shell's history ====

// The newest entry by one walk, or null when the history is empty.
char16_t* NewestEntry(Budget* budget);

// Reads a history number (the digits 0-9 with an optional sign, or 0x hexadecimal) at `text`.
// Returns 0 and sets `*value` and `*end`; -1 when `text` does not begin with a number;
// ERANGE (34) when the number lies outside its 32-bit range.
int ParseHistoryNumber(const char16_t* text, int32_t* value, const char16_t** end);

// The position a history number names: from the oldest for a number of 0 or more (the oldest is
// 0 or 1, by the counting base), from the newest for a negative one; -0 names none (position 0).
int64_t PositionOf(int32_t value, bool negative);

// The entry at `position` by walking: 1 is the oldest; negative positions count from the newest
// and clamp to the oldest; 0 or beyond the newest gives null.
char16_t* EntryByNumber(int64_t position, Budget* budget);

// The newest entry from `first` on that begins with (prefixOnly) or contains `word` (`length`
// units, and a terminator after them for the shell's search), by one walk; null when none does
// or the word is empty.
char16_t* FindEntry(const char16_t* word, bool prefixOnly, char16_t* first, size_t length,
                    Budget* budget);

// Every entry of the history, oldest first, from one walk: bash's rules resolve all the events of
// a line through it. Its block grows by doubling while the walk runs.
struct HistoryIndex {
  char16_t** entries;  // the heap block of entry pointers, or null before the walk
  size_t count;        // entries in it
  size_t capacity;     // pointers the block holds
  bool built;          // the walk has run
};

// Walks the history once into `index`; false when the heap refuses a block. Its units are
// granted to the budget, so the walk itself always fits.
bool BuildHistoryIndex(HistoryIndex* index, Budget* budget);
void ReleaseHistoryIndex(HistoryIndex* index);

// The entry at `position` (as EntryByNumber) from the index: O(1).
char16_t* IndexedEntry(const HistoryIndex& index, int64_t position);

// The newest entry of the index that begins with or contains `word` (for containment
// terminated, as above): a scan from the newest that stops at the first match.
char16_t* FindIndexedEntry(const HistoryIndex& index, const char16_t* word, size_t length,
                           bool prefixOnly, Budget* budget);

// ==== Events ====

enum EventKind {
  kEventNone,       // the text is no event
  kEventNewest,     // !!, and bash's ! before a designator or modifier
  kEventNumber,     // !n !-n !+n !0xN
  kEventPrefix,     // !word: the newest entry that begins with the text
  kEventContains,   // !?word: the newest entry that contains the text (empty: the latest one)
  kEventLineSoFar,  // bash's !#
};

// An event as typed, after its '!'.
struct Event {
  EventKind kind;
  int32_t number;        // kEventNumber: the value read
  bool negative;         // kEventNumber: typed with a '-' (so -0 is no entry)
  const char16_t* text;  // kEventPrefix, kEventContains: the search text, in the line
  size_t length;         // its units
  const char16_t* end;   // the first unit after the event
};

// Reads the event after a '!' at `p` by `dialect`: the default rules read "!", a number, a word
// of letters, digits, '_' and '$' after a letter (at most kMaxDefaultText units), or '?' and such
// a word, after blanks when the settings allow them; bash's rules read their own grammar
// (expansion.cpp). kEventNone when the text is no event.
Event ReadEvent(Dialect dialect, const char16_t* p);

// ==== Substitution ====

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

// ==== Words (words.cpp) ====

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
// with `*at` moved past it; false, with `*at` where it stopped, at the end of the text or, when
// `comments`, on a word that begins with '#'.
bool NextBashWord(const char16_t* text, size_t length, bool comments, size_t* at, size_t* start,
                  size_t* end);

// The number of words of `text`.
size_t CountBashWords(const char16_t* text, size_t length);

// The word of `text` that holds the unit at `offset`: true and its span; false when that unit
// lies between words or in a comment.
bool FindBashWordAt(const char16_t* text, size_t length, size_t offset, size_t* start, size_t* end);

// A word's span in a text of at most a line's length.
struct WordSpan {
  uint16_t start;
  uint16_t end;
};

// Words already split: `count` spans of `text`, the first of them word 0.
struct SplitWords {
  const char16_t* text;
  const WordSpan* spans;
  size_t count;
};

// Writes the words of `range` into `out` (kLineCapacity units), separated by single blanks, from
// `text` (`length` units) split as it goes, or from `split` when it is not null.
//   0  written; `*outLength` is its length (0 for an empty selection)
//  -1  a word of the range does not exist, or the words would be longer than 65535 units
int SelectBashWords(const char16_t* text, size_t length, const SplitWords* split,
                    const WordRange& range, char16_t* out, size_t* outLength);

// What is known of a text for :h :t :r :e: from which offset on it holds no '/' and no '.'.
// Kept by the caller while the text changes only through ApplyPathModifier, so that a chain of
// them never scans a unit twice.
struct PathMarks {
  size_t noSlashFrom;  // no '/' at or after this offset (the text's length: nothing known)
  size_t noDotFrom;    // no '.' at or after this offset
};

// Applies :h, :t, :r or :e (`which`) to `text` in place: the part before the last '/', after it,
// before the last '.' or from it. A text without that unit stays as it is.
void ApplyPathModifier(char16_t* text, size_t* length, char16_t which, PathMarks* marks);

// Writes `text` in bash's single quotes into `out` (kLineCapacity units), a quote as '\'', and,
// for :x (`splitAtBlanks`), every blank as a word break ' '.
//   0  written, `*outLength` is its length;  -1  it would be longer than 65535 units
int QuoteBashText(const char16_t* text, size_t length, bool splitAtBlanks, char16_t* out,
                  size_t* outLength);

// ==== The keys (keystroke.cpp, keys.cpp) ====

// The keys the handler acts on.
enum PressedKey {
  kUnclassifiedKey,  // not told yet: the line does not begin with '!'
  kOtherKey,
  kEnterKey,
  kShiftEnterKey,
  kTabKey,
  kSpaceKey,
};

// Key-name mode: a shell of version 24 or later that names the key.
bool KeyNameMode(const KeyEvent* event);

// The key a shell's key name names, any case: "Enter", "Shift-Enter", "Tab", "Space", or another.
PressedKey NamedKey(const char16_t* name);

// The key, from its name in key-name mode, else from its code and the modifier keys (which are
// read, all three and in this order, in either case).
PressedKey Classify(const KeyEvent* event, bool keyNameMode);

// Acts on `pressed` (Enter, Shift-Enter, Tab or Space), or, for a line that does not begin with
// '!', on a key that may be one of them (kUnclassifiedKey: HandleKey has made the cheap tests):
// expands the line, or the text before the cursor, and writes the outcome into the key record.
// Always 0.
int ActOnKey(KeyEvent* event, PressedKey pressed);

// ==== Whole lines (expansion.cpp) ====

enum LineOutcome {
  kLineNoReference,  // nothing to expand: the line runs as typed; nothing allocated
  kLineExpanded,     // `text` holds the new line
  kLineFailed,       // a reference, designator or substitution failed, or a limit was passed
};

// What one expansion of a line made.
struct LineExpansion {
  LineOutcome outcome = kLineNoReference;
  const char16_t* text = nullptr;  // kLineExpanded: the new line, at most 65535 units, terminated
  bool printOnly = false;          // a :p modifier was met (bash's rules)
  bool openSubstitution = false;   // the line ends inside a substitution's texts, its closing
                                   // delimiter not typed
  void* block = nullptr;           // the work block of the line buffers; ReleaseExpansion
  HistoryIndex index = {nullptr, 0, 0, false};  // bash's rules: the history's; ReleaseExpansion
};

// The default rules, for a line that begins with '!': the whole line is one reference and its
// :s modifiers. Allocates one block of two line buffers when a modifier is present, none else.
LineExpansion ExpandDefaultLine(const char16_t* line);

// Bash's rules over the whole line (expansion.cpp has the grammar): one block of line buffers
// and one index of the history, none when the line holds no reference. When `line` is the text
// before the cursor, `rest` is the typed line's text after it, which the rules for a '!' in
// [!...] and ${!...} look at as well.
LineExpansion ExpandBashLine(const char16_t* line, const char16_t* rest = nullptr);

// Gives back what an expansion took from the heap.
void ReleaseExpansion(LineExpansion* expansion);
