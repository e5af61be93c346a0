// How the history view matches an entry and walks for one search, shared by its walks
// (history_view.cpp) and its table of a line's searches (search_table.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "expansion/history_view.h"
#include "text/search.h"

// The units one step of a walk counts, from `entry` to `next` (null after the newest): their
// distance when `next` follows within a line's length, as in the shell's one buffer of entries;
// else the entry's own length and its terminator.
size_t StepUnits(const char16_t* entry, const char16_t* next);

// Whether the first `length` units of `entry` equal `word`, with A-Z folded when `foldCase`,
// and end where a character of the entry ends. It stops at the first unit that differs, at most
// one past the entry's end, so its cost is within the walk's; the units it compared are added to
// `*compared` when that is not null.
bool StartsWith(const char16_t* entry, const char16_t* word, size_t length, bool foldCase,
                uint64_t* compared);

// What one search compares with each entry.
struct Search {
  SearchKind kind;
  const char16_t* word;  // terminated
  size_t length;
  bool foldCase;
  text::Needle needle;  // the word prepared for the plugin's own search, folded with the case
};

// The search, prepared once for every entry it is compared with; its cost spent from `budget`.
Search MakeSearch(SearchKind kind, const char16_t* word, size_t length, Budget* budget);

// Whether `entry` matches `s`, as the settings compare; `units` is what the walk counted for it
// (its length and more). What a containment search reads and compares is spent from `budget`.
// A case-blind one asks the shell's search where the most it could compare fits what is left of
// the budget; otherwise the plugin searches itself, folding as the shell does.
bool Matches(const char16_t* entry, size_t units, const Search& s, Budget* budget);

// The newest match by a forward walk from the oldest entry: the newest match wins, so the walk
// runs to the end of the list. Each entry is counted as it is passed, and the walk stops once the
// budget is spent.
char16_t* SearchForward(const Search& s, Budget* budget);

// The newest match by a scan of the index from the newest entry back: the first match is the
// newest, and the scan stops there, or once the budget is spent. It reads each entry once more
// than the walk that made the index, and counts it as it goes.
char16_t* SearchBack(const HistoryView& view, const Search& s);
