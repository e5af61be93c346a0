// The history view: walks of the shell's list (forward, the only way the shell offers), the
// index of bash's rules, the positions entries are named by, the searches and the table of a
// line's searches. Every step of a walk is counted as it is taken.
#include "expansion/history_view.h"

#include <cstdlib>

#include "core/settings_record.h"
#include "core/shell_history.h"
#include "text/text.h"

namespace {

// Slots of the checkpoint table of one walk.
constexpr size_t kWalkMarks = 256;

// Entry pointers an index holds before its block first grows.
constexpr size_t kFirstIndexCapacity = 1024;

// ==== The cost of a walk ====

// The units one step of a walk counts, from `entry` to `next` (null after the newest): their
// distance when `next` follows within a line's length, as in the shell's one buffer of entries;
// else the entry's own length and its terminator. It reads nothing in the shell's buffer.
size_t StepUnits(const char16_t* entry, const char16_t* next) {
  const uintptr_t from = reinterpret_cast<uintptr_t>(entry);
  const uintptr_t to = reinterpret_cast<uintptr_t>(next);
  if (next != nullptr && to > from && to - from <= kLineCapacity * sizeof(char16_t)) {
    return (to - from) / sizeof(char16_t);
  }
  return text::BoundedLength(entry, kLineCapacity) + 1;
}

// Counts one step of a walk: its units earn their share of the budget and are spent from it, so
// a walk always fits and what it reads is counted.
void CountStep(Budget* budget, const char16_t* entry, const char16_t* next) {
  const size_t units = StepUnits(entry, next);
  budget->Grant(units);
  budget->Spend(units);
}

// ==== Positions ====

// The 0-based index of the entry at `position` in a history of `count` entries, or `count` when
// it names none: the one clamp rule. A negative position beyond the oldest clamps to it.
size_t IndexOfPosition(int64_t position, size_t count) {
  if (count == 0 || position == 0) return count;
  if (position > 0) {
    return static_cast<uint64_t>(position) <= count ? static_cast<size_t>(position - 1) : count;
  }
  const uint64_t magnitude = static_cast<uint64_t>(-position);  // below 2^63: no overflow
  return magnitude >= count ? 0 : count - static_cast<size_t>(magnitude);
}

// One forward walk over the whole history that remembers a pointer every `stride` entries, so
// that an entry counted from the newest is reached without a second full walk. The stride
// doubles whenever the table fills, so the table stays fixed and the extra steps to reach any
// entry afterwards stay below `stride`.
struct HistoryWalk {
  size_t count;                 // entries in the history
  size_t stride;                // entries between two marks (a power of two)
  size_t used;                  // marks in use
  char16_t* marks[kWalkMarks];  // marks[i] is the entry at 0-based index i * stride
};

void WalkHistory(char16_t* oldest, HistoryWalk* walk, Budget* budget) {
  walk->count = 0;
  walk->stride = 1;
  walk->used = 0;
  char16_t* entry = oldest;
  for (size_t index = 0; entry != nullptr; ++index) {
    if (index % walk->stride == 0) {
      if (walk->used == kWalkMarks) {
        for (size_t i = 0; i < kWalkMarks / 2; ++i) walk->marks[i] = walk->marks[2 * i];
        walk->used = kWalkMarks / 2;
        walk->stride *= 2;
      }
      walk->marks[walk->used++] = entry;  // index is a multiple of the new stride too
    }
    walk->count = index + 1;
    char16_t* next = NextEntry(entry);
    CountStep(budget, entry, next);
    entry = next;
  }
}

// Steps `steps` entries newer from `entry`; null when the list ends first. The entries it passes
// were counted by the walk that found `entry`, or are fewer than the steps of one.
char16_t* StepForward(char16_t* entry, uint64_t steps) {
  for (; steps > 0 && entry != nullptr; --steps) entry = NextEntry(entry);
  return entry;
}

// ==== Matching an entry ====

// Whether the first `length` units of `entry` equal `word`, with A-Z folded when `foldCase`,
// and end where a character of the entry ends. It compares at most one unit past the entry's
// end, so its cost is within the walk's.
bool StartsWith(const char16_t* entry, const char16_t* word, size_t length, bool foldCase) {
  for (size_t i = 0; i < length; ++i) {
    char16_t a = entry[i];
    char16_t b = word[i];
    if (foldCase) {
      a = text::FoldAscii(a);
      b = text::FoldAscii(b);
    }
    if (a != b) return false;  // also at the entry's terminator: the word holds no zero
  }
  return !text::SplitsCharacter(entry, text::kTerminated, 0, length);
}

// What one search compares with each entry.
struct Search {
  SearchKind kind;
  const char16_t* word;  // terminated
  size_t length;
  bool foldCase;
  size_t anchor;  // the exact containment search scans for word[anchor]
};

Search MakeSearch(SearchKind kind, const char16_t* word, size_t length) {
  const bool foldCase = PluginSettings.caseInsensitive != 0;
  const bool scans = kind == kContains && !foldCase;
  return {kind, word, length, foldCase, scans ? text::SearchAnchor(word, length) : 0};
}

// The shell's case-blind search, at its own cost. Only a word that begins with the second half
// of a surrogate pair or ends with the first half can match half of one: then an occurrence in
// the entry that splits a pair is searched past. An answer outside the entry is taken as it
// comes.
bool FoldedContains(const char16_t* entry, const Search& s) {
  const bool halves =
      text::IsLowSurrogate(s.word[0]) || text::IsHighSurrogate(s.word[s.length - 1]);
  const size_t entryLength = halves ? text::BoundedLength(entry, kLineCapacity) : 0;
  for (const char16_t* found = _stristr(entry, s.word); found != nullptr;
       found = _stristr(found + 1, s.word)) {
    if (!halves || found < entry || found + s.length > entry + entryLength) return true;
    const size_t at = static_cast<size_t>(found - entry);
    if (!text::SplitsCharacter(entry, entryLength, at, s.length)) return true;
  }
  return false;
}

// Whether `entry` matches `s`, as the settings compare. The scan of the entry is within the
// walk's cost; what an exact containment search compares at each place the word may begin,
// which the walk does not bound, is added to `*compared`.
bool Matches(const char16_t* entry, const Search& s, uint64_t* compared) {
  // An exact containment search also finds the word at the start, so only the folding one
  // needs the prefix test first.
  if ((s.kind == kBeginsWith || s.foldCase) && StartsWith(entry, s.word, s.length, s.foldCase)) {
    return true;
  }
  if (s.kind == kBeginsWith) return false;
  if (s.foldCase) return FoldedContains(entry, s);
  for (const char16_t* from = entry;;) {
    const char16_t* found = text::FindExact(from, s.word, s.length, s.anchor, compared);
    if (found == nullptr) return false;
    const size_t at = static_cast<size_t>(found - entry);
    if (!text::SplitsCharacter(entry, text::kTerminated, at, s.length)) return true;
    from = found + 1;  // an occurrence that splits a surrogate pair is none: search on
  }
}

// ==== The table of a line's searches ====

uint64_t HashOf(SearchKind kind, const char16_t* text, size_t length) {
  uint64_t h = 14695981039346656037ull ^ static_cast<uint64_t>(kind);  // FNV-1a
  for (size_t k = 0; k < length; ++k) h = (h ^ text[k]) * 1099511628211ull;
  return h;
}

// The slot of a search of this line with the same kind and text, or the free slot where it
// would go; null when the table is too full to take it.
SearchSlot* SlotFor(HistoryView* view, SearchKind kind, const char16_t* text, size_t length) {
  if (!view->slotsCleared) {
    for (size_t k = 0; k < kSearchSlots; ++k) view->slots[k].text = nullptr;
    view->slotsCleared = true;
  }
  view->budget->Spend(length);
  size_t slot = static_cast<size_t>(HashOf(kind, text, length) % kSearchSlots);
  for (size_t probe = 0; probe < kSearchSlots; ++probe, slot = (slot + 1) % kSearchSlots) {
    SearchSlot& s = view->slots[slot];
    if (s.text == nullptr) return view->slotsUsed < kSearchSlots / 2 ? &s : nullptr;
    if (s.kind != kind || s.length != length) continue;
    view->budget->Spend(length);
    size_t k = 0;
    while (k < length && s.text[k] == text[k]) ++k;
    if (k == length) return &s;
  }
  return nullptr;
}

// ==== The searches ====

// The newest match by a forward walk from the oldest entry: the newest match wins, so the walk
// runs to the end of the list.
char16_t* SearchForward(const Search& s, Budget* budget) {
  char16_t* match = nullptr;
  for (char16_t* entry = HistoryStart(); entry != nullptr;) {
    uint64_t compared = 0;
    if (Matches(entry, s, &compared)) match = entry;
    char16_t* next = NextEntry(entry);
    CountStep(budget, entry, next);
    if (!budget->Spend(compared)) return nullptr;
    entry = next;
  }
  return match;
}

// The newest match by a scan of the index from the newest entry back: the first match is the
// newest, and the scan stops there. It reads each entry once more than the walk that made the
// index, and counts it as it goes.
char16_t* SearchBack(const HistoryView& view, const Search& s) {
  for (size_t i = view.count; i > 0; --i) {
    char16_t* entry = view.entries[i - 1];
    uint64_t compared = 0;
    const bool match = Matches(entry, s, &compared);
    const char16_t* next = i < view.count ? view.entries[i] : nullptr;
    if (!view.budget->Spend(StepUnits(entry, next) + compared)) return nullptr;
    if (match) return entry;
  }
  return nullptr;
}

}  // namespace

bool IndexHistory(HistoryView* view) {
  view->indexed = true;
  for (char16_t* entry = HistoryStart(); entry != nullptr;) {
    if (view->count == view->capacity) {
      const size_t capacity = view->capacity == 0 ? kFirstIndexCapacity : 2 * view->capacity;
      void* grown = std::realloc(view->entries, capacity * sizeof(char16_t*));
      if (grown == nullptr) return false;
      view->entries = static_cast<char16_t**>(grown);
      view->capacity = capacity;
    }
    view->entries[view->count++] = entry;
    char16_t* next = NextEntry(entry);
    CountStep(view->budget, entry, next);
    entry = next;
  }
  return true;
}

void ReleaseHistoryView(HistoryView* view) {
  std::free(view->entries);
  view->entries = nullptr;
  view->count = view->capacity = 0;
  view->indexed = false;
}

char16_t* NewestEntry(HistoryView* view) {
  if (view->indexed) return view->count > 0 ? view->entries[view->count - 1] : nullptr;
  char16_t* entry = HistoryStart();
  while (entry != nullptr) {
    char16_t* next = NextEntry(entry);
    CountStep(view->budget, entry, next);
    if (next == nullptr) break;
    entry = next;
  }
  return entry;
}

char16_t* EntryAtPosition(HistoryView* view, int64_t position) {
  if (view->indexed) {
    const size_t index = IndexOfPosition(position, view->count);
    return index < view->count ? view->entries[index] : nullptr;
  }
  char16_t* oldest = HistoryStart();
  if (oldest == nullptr || position == 0) return nullptr;
  // A position from the oldest is reached by stepping to it, without walking the rest; the list
  // ending first names none, as the clamp rule says.
  if (position > 0) return StepForward(oldest, static_cast<uint64_t>(position - 1));
  HistoryWalk walk;
  WalkHistory(oldest, &walk, view->budget);
  const size_t index = IndexOfPosition(position, walk.count);
  const size_t slot = index / walk.stride;
  return StepForward(walk.marks[slot], index - slot * walk.stride);
}

char16_t* SearchHistory(HistoryView* view, SearchKind kind, const char16_t* text,
                        const char16_t* terminated, size_t length, SearchSlot** slotOut) {
  if (slotOut != nullptr) *slotOut = nullptr;
  if (length == 0) return nullptr;
  const Search s = MakeSearch(kind, terminated, length);
  if (!view->indexed) return SearchForward(s, view->budget);
  SearchSlot* slot = view->slots != nullptr ? SlotFor(view, kind, text, length) : nullptr;
  if (slot != nullptr && slot->text != nullptr) {
    if (slotOut != nullptr) *slotOut = slot;
    return slot->entry;
  }
  char16_t* entry = SearchBack(*view, s);
  if (entry != nullptr && slot != nullptr) {
    *slot = SearchSlot{text, static_cast<uint32_t>(length), kind, entry, false, 0, 0};
    ++view->slotsUsed;
    if (slotOut != nullptr) *slotOut = slot;
  }
  return entry;
}
