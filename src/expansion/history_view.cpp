// The history view: walks of the shell's list (forward, the only way the shell offers), the
// index of bash's rules, the positions entries are named by, the searches and the table of a
// line's searches. Every step of a walk is counted as it is taken.
#include "expansion/history_view.h"

#include <cstdlib>

#include "core/settings_record.h"
#include "core/shell_history.h"
#include "expansion/entry_match.h"
#include "text/search.h"
#include "text/text.h"
#include "text/work.h"

namespace {

// Slots of the checkpoint table of one walk.
constexpr size_t kWalkMarks = 256;

// Entry pointers an index holds before its block first grows.
constexpr size_t kFirstIndexCapacity = 1024;

}  // namespace

// ==== The cost of a walk ====

size_t StepUnits(const char16_t* entry, const char16_t* next) {
  const uintptr_t from = reinterpret_cast<uintptr_t>(entry);
  const uintptr_t to = reinterpret_cast<uintptr_t>(next);
  if (next != nullptr && to > from && to - from <= kLineCapacity * sizeof(char16_t)) {
    return (to - from) / sizeof(char16_t);
  }
  const size_t length = text::BoundedLength(entry, kLineCapacity);
  work::Done(length);
  return length + 1;
}

namespace {

// One step of a walk, from `entry` to the entry after it (null after the newest), counted: its
// units earn their share of the budget and are spent from it, so a walk always fits and what it
// reads is counted. `*units` (when not null) gets the units of the step.
char16_t* CountedStep(Budget* budget, char16_t* entry, size_t* units = nullptr) {
  char16_t* next = NextEntry(entry);
  const size_t counted = StepUnits(entry, next);
  budget->Grant(counted);
  budget->Spend(counted);
  if (units != nullptr) *units = counted;
  return next;
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
    entry = CountedStep(budget, entry);
  }
}

// Steps `steps` entries newer from a mark of a walk; null when the list ends first. The entries
// it passes were counted by that walk.
char16_t* StepForward(char16_t* entry, uint64_t steps) {
  for (; steps > 0 && entry != nullptr; --steps) entry = NextEntry(entry);
  return entry;
}

}  // namespace

// ==== Matching an entry ====

bool StartsWith(const char16_t* entry, const char16_t* word, size_t length, bool foldCase,
                uint64_t* compared) {
  size_t i = 0;
  for (; i < length; ++i) {
    char16_t a = entry[i];
    char16_t b = word[i];
    if (foldCase) {
      a = text::FoldAscii(a);
      b = text::FoldAscii(b);
    }
    if (a != b) break;  // also at the entry's terminator: the word holds no zero
  }
  work::Done(i + 1);
  if (compared != nullptr) *compared += i + 1;
  return i == length && !text::SplitsCharacter(entry, text::kTerminated, 0, length);
}

Search MakeSearch(SearchKind kind, const char16_t* word, size_t length, Budget* budget) {
  Search s = {kind, word, length, PluginSettings.caseInsensitive != 0, {}};
  if (kind == kContains) {
    budget->Spend(length);
    s.needle = text::PrepareNeedle(word, length, s.foldCase);
  }
  return s;
}

namespace {

// The shell's case-blind search of an entry of at most `units` units, where a simple search
// would compare at most kShellSearchShare units a unit of it and the most it could compare,
// every place against the whole word, fits what is left of the budget: what it may have compared
// up to its answer is spent. An entry of ASCII alone where no unit folds as the word's first (an
// ASCII unit) does holds no occurrence, whatever the shell's search: it is not asked. Only a word
// that begins with the second half of a surrogate pair or ends with the first half can match half
// of one: then an occurrence in the entry that splits a pair is searched past. An answer outside
// the entry is taken as it comes. False, with `*asked` false, when the shell's search would cost
// too much.
bool FoldedContains(const char16_t* entry, size_t units, const Search& s, Budget* budget,
                    bool* asked) {
  *asked = false;
  uint64_t read = 0;
  const text::SimpleSearchCost simple =
      text::CostOfSimpleSearch(entry, text::kTerminated, s.needle, &read);
  if (!budget->Spend(read) || simple.compares > kShellSearchShare * read) return false;
  if (simple.none) {
    *asked = true;
    return false;
  }
  const bool halves =
      text::IsLowSurrogate(s.word[0]) || text::IsHighSurrogate(s.word[s.length - 1]);
  const size_t entryLength = halves ? text::BoundedLength(entry, kLineCapacity) : 0;
  for (const char16_t* from = entry;;) {
    const size_t left = units - static_cast<size_t>(from - entry);
    if (static_cast<uint64_t>(left) * s.length > budget->left) return false;
    *asked = true;
    const char16_t* found = _stristr(from, s.word);
    const bool inEntry = found != nullptr && found >= from && found < from + left;
    const size_t places = inEntry ? static_cast<size_t>(found - from) + 1 : left;
    budget->Spend(static_cast<uint64_t>(places) * s.length);
    if (found == nullptr) return false;
    if (!halves || !inEntry || found + s.length > entry + entryLength) return true;
    const size_t at = static_cast<size_t>(found - entry);
    if (!text::SplitsCharacter(entry, entryLength, at, s.length)) return true;
    from = found + 1;
  }
}

}  // namespace

bool Matches(const char16_t* entry, size_t units, const Search& s, Budget* budget) {
  uint64_t work = 0;
  if (!s.foldCase) {  // the usual case: a prefix search leaves an entry at its first unit
    if (s.kind == kBeginsWith) {
      return entry[0] == s.word[0] && StartsWith(entry, s.word, s.length, false, nullptr);
    }
    const bool found = text::FindFirst(entry, text::kTerminated, 0, s.needle, &work) != nullptr;
    budget->Spend(work);
    return found;
  }
  // The folding containment search also finds the word at the start: the prefix test first.
  if (StartsWith(entry, s.word, s.length, true, nullptr)) return true;
  if (s.kind == kBeginsWith) return false;
  bool asked = false;
  const bool found = FoldedContains(entry, units, s, budget, &asked);
  if (asked) return found;
  const bool folded = text::FindFirst(entry, text::kTerminated, 0, s.needle, &work) != nullptr;
  budget->Spend(work);
  return folded;
}

// ==== The searches ====

char16_t* SearchForward(const Search& s, Budget* budget) {
  char16_t* match = nullptr;
  for (char16_t* entry = HistoryStart(); entry != nullptr;) {
    size_t units = 0;
    char16_t* next = CountedStep(budget, entry, &units);
    if (Matches(entry, units, s, budget)) match = entry;
    if (budget->Spent()) return nullptr;
    entry = next;
  }
  return match;
}

char16_t* SearchBack(const HistoryView& view, const Search& s) {
  for (size_t i = view.count; i > 0; --i) {
    char16_t* entry = view.entries[i - 1];
    const size_t units = StepUnits(entry, i < view.count ? view.entries[i] : nullptr);
    view.budget->Spend(units);
    const bool match = Matches(entry, units, s, view.budget);
    if (view.budget->Spent()) return nullptr;
    if (match) return entry;
  }
  return nullptr;
}

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
    entry = CountedStep(view->budget, entry);
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
    char16_t* next = CountedStep(view->budget, entry);
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
  // A position from the oldest is reached by stepping to it, each step counted as a walk's are,
  // without walking the rest; the list ending first names none, as the clamp rule says.
  if (position > 0) {
    char16_t* entry = oldest;
    for (uint64_t steps = static_cast<uint64_t>(position - 1); steps > 0 && entry != nullptr;
         --steps) {
      entry = CountedStep(view->budget, entry);
    }
    return entry;
  }
  HistoryWalk walk;
  WalkHistory(oldest, &walk, view->budget);
  const size_t index = IndexOfPosition(position, walk.count);
  const size_t slot = index / walk.stride;
  return StepForward(walk.marks[slot], index - slot * walk.stride);
}
