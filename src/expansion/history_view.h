// The shell's history as one expansion sees it, for both grammars: entries by position and by
// search, reached by walking the shell's list forward (the default rules: one reference a line,
// no heap) or through an index built by one walk (bash's rules: any number of references). One
// clamp rule, one cost rule and one search serve both.
#pragma once

#include <cstddef>
#include <cstdint>

#include "expansion/budget.h"

// What a search looks for in an entry.
enum SearchKind {
  kBeginsWith,  // the entry begins with the text (!word)
  kContains,    // the entry holds the text (!?word)
};

// A search already resolved in this line (bash's rules), and what % asked of it.
struct SearchSlot {
  const char16_t* text;  // the search text, in the typed line; null: a free slot
  uint32_t length;       // its units
  SearchKind kind;
  char16_t* entry;      // the entry it found (null: none)
  bool expected;        // registered before it was made, and not answered yet
  bool wordKnown;       // the word below has been found (only once % asks for it)
  uint32_t wordStart;   // for %: the word of `entry` where the text last occurs
  uint32_t wordLength;  // its units (0: it occurs between words)
};

// The table of a line's searches: its first kSearchSlots / 2 distinct searches are remembered,
// so that one met again is not made again; later ones are made each time (within the budget).
constexpr size_t kSearchSlots = 1024;

// One expansion's view of the history. Zero-initialised but for `budget`; changed only by the
// functions below.
struct HistoryView {
  Budget* budget;        // what every walk and search of the expansion spends
  char16_t** entries;    // after IndexHistory: every entry, oldest first, in a heap block
  size_t count;          // entries in `entries`
  size_t capacity;       // pointers the block holds
  bool indexed;          // IndexHistory has walked the history
  SearchSlot* slots;     // kSearchSlots slots for the line's searches, or null: none are kept
  size_t slotsUsed;      // slots in use; the table is cleared while `slotsCleared` is false
  bool slotsCleared;     // the table has been cleared for this expansion
  size_t expectedUnits;  // units of the expected containment searches
};

// Walks the history once into the view's index, so that every later request is answered from
// it; false when the heap refuses a block. Its units are granted to the budget as they are
// walked, so the walk itself always fits.
bool IndexHistory(HistoryView* view);

// Gives back the index.
void ReleaseHistoryView(HistoryView* view);

// The newest entry, or null when the history is empty.
char16_t* NewestEntry(HistoryView* view);

// The entry at `position`: 1 is the oldest; a negative position counts from the newest and
// clamps to the oldest; 0 or a position beyond the newest names none (null).
char16_t* EntryAtPosition(HistoryView* view, int64_t position);

// Registers a search the line is expected to make (`text` stays where it is for the rest of the
// expansion): the searches a line registers are answered together, by one pass over the index,
// when the first of them is made. Those beyond the table's room or the reach of one pass
// (kMultiSearchUnits units of containment texts) are made one by one, as any other.
void ExpectSearch(HistoryView* view, SearchKind kind, const char16_t* text, size_t length);

// The newest entry that begins with or contains `text` (`length` units, not 0); null when none
// does. `terminated` is the same text with a terminator after it, for the shell's case-blind
// search. With a table of searches, the same search met again is answered from it, and
// `*slot` (when not null) gets its slot, or null when the table had no room.
char16_t* SearchHistory(HistoryView* view, SearchKind kind, const char16_t* text,
                        const char16_t* terminated, size_t length, SearchSlot** slot = nullptr);
