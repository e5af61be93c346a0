// Bash mode's words: how an entry splits into words, and the words a designator selects.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Words already split, or only counted: `count` words of `text`, and their spans (the first of
// them word 0) when `spans` is not null.
struct SplitWords {
  const char16_t* text;
  const WordSpan* spans;
  size_t count;
};

// Writes the words of `range` into `out` (kLineCapacity units), separated by single blanks, from
// `text` (`length` units) split as it goes, or from the spans of `split`; the number of words
// comes from `split` when it is not null, else the text is counted when the range needs it.
// `*examined` gets the units of `text` it stepped over.
//   0  written; `*outLength` is its length (0 for an empty selection)
//  -1  a word of the range does not exist, or the words would be longer than 65535 units
int SelectBashWords(const char16_t* text, size_t length, const SplitWords* split,
                    const WordRange& range, char16_t* out, size_t* outLength, size_t* examined);
