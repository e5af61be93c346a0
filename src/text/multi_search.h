// Many texts searched for at once: one pass over a text tells which of them occur in it, at a
// cost per unit read that grows with the units of all the texts together (a 64-bit word for
// every 64 of them), not with the number of texts. It serves a line that searches the history
// for several texts, which are then answered by one pass over the history.
#pragma once

#include <cstddef>
#include <cstdint>

namespace text {

// The most units all the texts of one multiple search may hold together, and the words of state
// they take.
constexpr size_t kMultiSearchUnits = 512;
constexpr size_t kMultiSearchWords = kMultiSearchUnits / 64;

// The texts of one multiple search, prepared: for every distinct unit of the texts, the places
// of the texts that hold it, as bits (the shift-and algorithm of Baeza-Yates and Gonnet, over
// all the texts side by side). Filled by PrepareMultiSearch; `active` changed by RetireText.
// Zero-initialised before its first preparation (process-wide, for its size): each preparation
// clears only the units the one before it set.
struct MultiSearch {
  size_t count;                          // texts
  size_t words;                          // 64-bit words of the state in use
  bool folded;                           // units compare by FoldForSearch
  uint64_t starts[kMultiSearchWords];    // the first place of every text
  uint64_t active[kMultiSearchWords];    // the last place of every text still sought
  uint16_t textAt[kMultiSearchUnits];    // the text whose last place a bit is
  uint16_t lengthOf[kMultiSearchUnits];  // the length of text i
  uint64_t masks[kMultiSearchUnits + 1][kMultiSearchWords];  // by unit index; 0: in no text
  size_t units;                                              // distinct units of the texts
  char16_t unitAt[kMultiSearchUnits + 1];                    // the unit of each mask index from 1
  // The mask index of every unit (0: in no text), so that each unit read costs one look-up,
  // whatever units the texts and the text read hold.
  uint16_t indexOf[65536];
};

// Prepares `count` texts (`texts[i]`, `lengths[i]` units, none empty): false when together they
// hold more than kMultiSearchUnits units. Its cost is linear in their units.
bool PrepareMultiSearch(MultiSearch* s, const char16_t* const* texts, const size_t* lengths,
                        size_t count, bool folded);

// Stops looking for text `i`: it is no longer reported.
void RetireText(MultiSearch* s, size_t i);

// Reads `text` to its terminator and sets found[i] for every text i still sought that occurs in
// it whole (an occurrence that splits a surrogate pair of `text` is none); `*seen` gets the
// number of texts it set. The units of work done: for each unit read, the words of state, and
// each occurrence seen.
uint64_t ScanForTexts(const MultiSearch& s, const char16_t* text, bool* found, size_t* seen);

}  // namespace text
