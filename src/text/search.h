// The one search for a text within a text, exact or case-blind, for every place the plugin finds
// one: linear in what it reads, whatever the two texts hold, and telling its caller what it read
// and compared so that the caller can count it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace text {

// The fold of a unit beyond ASCII, asked of the system once per block of 256 units.
char16_t FoldBeyondAscii(char16_t c);

// How a case-blind search compares two units: the 26 letters A-Z as a-z, every other unit by the
// system's upper-case mapping of that one unit, as the shell's case-blind comparison folds it.
inline char16_t FoldForSearch(char16_t c) {
  if (c >= 0x80) return FoldBeyondAscii(c);
  return static_cast<char16_t>(c + (static_cast<unsigned>(c - u'A') < 26u ? u'a' - u'A' : 0));
}

// A search text prepared once, for any number of searches with it.
struct Needle {
  const char16_t* units;  // the text searched for (as typed; folded as it is compared)
  size_t length;          // its units, at least 1
  bool folded;            // units compare by FoldForSearch
  size_t anchor;          // the unit the fast scan looks for: the likely rarest in command lines
  size_t critical;        // where the right half of the critical factorization begins
  size_t period;          // the right half's period; for a needle that is not periodic, the
                          // shift after a match of the right half
  bool periodic;          // the left half repeats within the period
};

// Prepares `units` (`length` units, not 0): O(length).
Needle PrepareNeedle(const char16_t* units, size_t length, bool folded);

// The leftmost occurrence of `needle` in `text` from offset `from` on, or null. `length` is the
// text's length, or kTerminated for a text that ends with its terminator; no unit past either is
// read. An occurrence that would split a surrogate pair of the text at its start or its end is
// none: the search goes on past it. The units read and compared are added to `*work`: at most a
// small multiple of the units from `from` to the end of the occurrence (or of the text) and the
// needle's length, never their product. A fast scan for the needle's rarest unit serves the usual
// texts; where it would compare too much, the search goes on by the Two-Way algorithm.
const char16_t* FindFirst(const char16_t* text, size_t length, size_t from, const Needle& needle,
                          uint64_t* work);

// The rightmost such occurrence within the first `length` units of `text`, by one pass of the
// Two-Way algorithm over all of them, or null.
const char16_t* FindLast(const char16_t* text, size_t length, const Needle& needle, uint64_t* work);

// What a simple search for `needle` in a text would compare: one that tries every place in turn
// and compares from the needle's first unit on until a unit differs compares one unit at a place
// whose unit differs from that first unit, and at most the whole needle at any other.
struct SimpleSearchCost {
  uint64_t compares;  // the most it compares
  bool none;          // no unit of the text compares equal to the needle's first, and all of them
                      // and that first are below 0x80: no place can begin an occurrence
};

// The cost of a simple search for `needle` in `text` (`length` units, or kTerminated), by one
// read of the text, whose units are added to `*work`.
SimpleSearchCost CostOfSimpleSearch(const char16_t* text, size_t length, const Needle& needle,
                                    uint64_t* work);

}  // namespace text
