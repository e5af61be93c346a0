// History references: the events of both grammars as typed, and the entries they name, found by
// walking the shell's history forward (the default rules, one reference a line) or through an
// index of it built by one walk (bash's rules, any number of references a line).
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "core/settings_record.h"
#include "history/engine.h"
#include "text/text.h"

namespace {

// Slots of the checkpoint table of one walk.
constexpr size_t kWalkMarks = 256;

// Entry pointers an index holds before its block first grows.
constexpr size_t kFirstIndexCapacity = 1024;

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

// Grants the units of a walk from `first` to `last` (the newest entry) to the budget, and spends
// them. In the shell's one buffer of entries they are the distance between the two and the last
// entry's length; where the entries do not lie in order in one buffer, only the last one counts.
// Nothing is added at each step of the walk, which is the floor every expansion is measured by.
void CountWalk(Budget* budget, const char16_t* first, const char16_t* last) {
  if (last == nullptr) return;
  const uintptr_t from = reinterpret_cast<uintptr_t>(first);
  const uintptr_t to = reinterpret_cast<uintptr_t>(last);
  uint64_t units = text::BoundedLength(last, kLineCapacity) + 1;
  if (to > from) units += (to - from) / sizeof(char16_t);
  budget->Grant(units);
  budget->Spend(units);
}

void WalkHistory(char16_t* oldest, HistoryWalk* walk, Budget* budget) {
  walk->count = 0;
  walk->stride = 1;
  walk->used = 0;
  char16_t* last = nullptr;
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
    last = entry;
    entry = next;
  }
  CountWalk(budget, oldest, last);
}

// Steps `steps` entries newer from `entry`; null when the list ends first.
char16_t* StepForward(char16_t* entry, uint64_t steps) {
  for (; steps > 0 && entry != nullptr; --steps) entry = NextEntry(entry);
  return entry;
}

// The entry at 0-based `index` (below walk.count), from the nearest mark at or before it.
char16_t* EntryAt(const HistoryWalk& walk, size_t index) {
  size_t slot = index / walk.stride;
  return StepForward(walk.marks[slot], index - slot * walk.stride);
}

bool IsWordUnit(char16_t c) {
  return text::IsAlnum(c) || c == u'_' || c == u'$';
}

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
  return !text::SplitsPair(entry, length);
}

// Whether `entry` begins with (prefixOnly) or contains `word`, as the settings compare. The scan
// of the entry is within the walk's cost; what a containment search compares at each place the
// word may begin, which the walk does not bound, is added to `*compared`.
inline bool Matches(const char16_t* entry, const char16_t* word, size_t length, bool prefixOnly,
                    bool foldCase, size_t anchor, uint64_t* compared) {
  // An exact containment search also finds the word at the start, so only the folding one
  // needs the prefix test first.
  if ((prefixOnly || foldCase) && StartsWith(entry, word, length, foldCase)) return true;
  if (prefixOnly) return false;
  if (foldCase) {
    // The shell's search, at its own cost. Only a word that begins with the second half of a
    // surrogate pair or ends with the first half can match half of one: then an occurrence in
    // the entry that splits a pair is searched past.
    const bool halves = text::IsLowSurrogate(word[0]) || text::IsHighSurrogate(word[length - 1]);
    const size_t entryLength = halves ? text::BoundedLength(entry, kLineCapacity) : 0;
    for (const char16_t* found = _stristr(entry, word); found != nullptr;
         found = _stristr(found + 1, word)) {
      if (!halves || found < entry || found + length > entry + entryLength) return true;
      const size_t at = static_cast<size_t>(found - entry);
      if (!text::SplitsPair(entry, at) && !text::SplitsPair(entry, at + length)) return true;
    }
    return false;
  }
  // Occurrences that split a surrogate pair do not count; a word that begins or ends with half
  // of one is rare enough to be searched again from the next unit.
  for (const char16_t* from = entry;;) {
    const char16_t* found = text::FindExact(from, word, length, anchor, compared);
    if (found == nullptr) return false;
    const size_t at = static_cast<size_t>(found - entry);
    if (!text::SplitsPair(entry, at) && !text::SplitsPair(entry, at + length)) return true;
    from = found + 1;
  }
}

// Only the exact containment search scans for an anchor unit; it is chosen once per search.
size_t AnchorFor(const char16_t* word, size_t length, bool prefixOnly, bool foldCase) {
  return prefixOnly || foldCase ? 0 : text::SearchAnchor(word, length);
}

// The units that end the text of bash's !string search (and the end of the line); a '-' ends
// it only after its first unit. Bash's own quotes do not end it; this shell's do.
bool EndsSearchText(char16_t c) {
  switch (c) {
    case 0:
    case u' ':
    case u'\t':
    case u'\n':
    case u':':
    case u';':
    case u'&':
    case u'|':
    case u'<':
    case u'>':
    case u'(':
    case u')':
    case u'^':
    case u'$':
    case u'*':
    case u'%':
    case u'-':
    case u'"':
    case u'`':
      return true;
    default:
      return false;
  }
}

// Reads a number at `p` into `event`; kEventNone when it is out of range.
Event ReadNumber(const char16_t* p) {
  Event event = {kEventNone, 0, p[0] == u'-', nullptr, 0, p};
  if (ParseHistoryNumber(p, &event.number, &event.end) == 0) event.kind = kEventNumber;
  return event;
}

// The default rules' event, after the first '!' of the line.
Event ReadDefaultEvent(const char16_t* p) {
  Event none = {kEventNone, 0, false, nullptr, 0, p};
  if (*p == u'!') return {kEventNewest, 0, false, nullptr, 0, p + 1};
  if (PluginSettings.allowWhitespace != 0) {
    while (text::IsSpace(*p)) ++p;
  }
  if (text::IsDigit(p[0]) || ((p[0] == u'+' || p[0] == u'-') && text::IsDigit(p[1]))) {
    return ReadNumber(p);
  }
  const bool containment = p[0] == u'?' && text::IsAlpha(p[1]);
  if (!containment && !text::IsAlpha(p[0])) return none;
  if (containment) ++p;
  const char16_t* start = p;
  while (IsWordUnit(*p)) ++p;
  const size_t length = static_cast<size_t>(p - start);
  // A word the comparison cannot hold whole is refused: compared on its first units only, it
  // could recall an entry the user did not name.
  if (length > kMaxDefaultText) return none;
  return {containment ? kEventContains : kEventPrefix, 0, false, start, length, p};
}

// Bash's event, after a '!':
//   !             the newest entry
//   #             the new line so far
//   n  -n  +n  0xN   by number, Quorvin's numbering (ParseHistoryNumber, PositionOf)
//   ?text?  ?text    the newest entry that contains text (to '?' or the end of the line; an
//                    empty text is the line's latest search text)
//   text          the newest entry that begins with text (EndsSearchText ends it)
//   ^ $ * % :     (not consumed) the newest entry, with that designator or modifier
Event ReadBashEvent(const char16_t* p) {
  Event none = {kEventNone, 0, false, nullptr, 0, p};
  if (*p == u'!') return {kEventNewest, 0, false, nullptr, 0, p + 1};
  if (*p == u'#') return {kEventLineSoFar, 0, false, nullptr, 0, p + 1};
  if (text::IsAsciiDigit(*p) || ((*p == u'-' || *p == u'+') && text::IsAsciiDigit(p[1]))) {
    return ReadNumber(p);
  }
  if (*p == u'?') {
    const char16_t* start = ++p;
    while (*p != 0 && *p != u'?') ++p;
    const size_t length = static_cast<size_t>(p - start);
    if (*p == u'?') ++p;
    return {kEventContains, 0, false, start, length, p};
  }
  if (*p == u'^' || *p == u'$' || *p == u'*' || *p == u'%' || *p == u':') {
    return {kEventNewest, 0, false, nullptr, 0, p};
  }
  const char16_t* start = p;
  if (*p == u'-') ++p;  // a search text may begin with '-'
  while (!EndsSearchText(*p)) ++p;
  const size_t length = static_cast<size_t>(p - start);
  if (length == 0) return none;
  return {kEventPrefix, 0, false, start, length, p};
}

// Units the walk from `entry` to `next` counts for the budget: their distance when `next` follows
// within a line's length, as in the shell's one buffer of entries; else the entry's own length.
size_t WalkUnits(const char16_t* entry, const char16_t* next) {
  const uintptr_t from = reinterpret_cast<uintptr_t>(entry);
  const uintptr_t to = reinterpret_cast<uintptr_t>(next);
  if (next != nullptr && to > from && to - from <= kLineCapacity * sizeof(char16_t)) {
    return (to - from) / sizeof(char16_t);
  }
  return text::BoundedLength(entry, kLineCapacity) + 1;
}

}  // namespace

char16_t* NewestEntry(Budget* budget) {
  char16_t* entry = HistoryStart();
  if (entry == nullptr) return nullptr;
  char16_t* const oldest = entry;
  for (char16_t* next; (next = NextEntry(entry)) != nullptr;) entry = next;
  CountWalk(budget, oldest, entry);
  return entry;
}

int ParseHistoryNumber(const char16_t* text, int32_t* value, const char16_t** end) {
  errno = 0;
  const char16_t* stop = text;
  int32_t number;
  if (text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') && text::IsAsciiXDigit(text[2])) {
    number = static_cast<int32_t>(text::ToUnsigned32(text + 2, &stop, 16));
  } else if (text::IsAsciiDigit(text[0]) ||
             ((text[0] == u'-' || text[0] == u'+') && text::IsAsciiDigit(text[1]))) {
    number = text::ToSigned32(text, &stop, 10);
  } else {
    return -1;
  }
  if (errno != 0) return errno;
  *value = number;
  *end = stop;
  return 0;
}

int64_t PositionOf(int32_t value, bool negative) {
  if (negative && value == 0) return 0;  // -0 counts back no entries from the newest: none
  int64_t position = value;
  if (position >= 0 && PluginSettings.countingBase == 0) position += 1;
  return position;
}

char16_t* EntryByNumber(int64_t position, Budget* budget) {
  char16_t* oldest = HistoryStart();
  if (oldest == nullptr || position == 0) return nullptr;
  if (position > 0) return StepForward(oldest, static_cast<uint64_t>(position - 1));

  const uint64_t magnitude = static_cast<uint64_t>(-position);
  HistoryWalk walk;
  WalkHistory(oldest, &walk, budget);
  if (magnitude >= walk.count) return oldest;  // beyond the list: clamp to the oldest
  return EntryAt(walk, walk.count - static_cast<size_t>(magnitude));
}

char16_t* FindEntry(const char16_t* word, bool prefixOnly, char16_t* first, size_t length,
                    Budget* budget) {
  if (first == nullptr || length == 0) return nullptr;
  const bool foldCase = PluginSettings.caseInsensitive != 0;
  const size_t anchor = AnchorFor(word, length, prefixOnly, foldCase);
  char16_t* match = nullptr;
  uint64_t compared = 0;
  char16_t* last = nullptr;
  // The newest match wins, so a forward walk always runs to the end of the list. Its cost is
  // counted once, at the end.
  for (char16_t* entry = first; entry != nullptr;) {
    if (Matches(entry, word, length, prefixOnly, foldCase, anchor, &compared)) match = entry;
    last = entry;
    entry = NextEntry(entry);
  }
  CountWalk(budget, first, last);
  return budget->Spend(compared) ? match : nullptr;
}

bool BuildHistoryIndex(HistoryIndex* index, Budget* budget) {
  index->built = true;
  for (char16_t* entry = HistoryStart(); entry != nullptr;) {
    if (index->count == index->capacity) {
      const size_t capacity = index->capacity == 0 ? kFirstIndexCapacity : 2 * index->capacity;
      void* grown = std::realloc(index->entries, capacity * sizeof(char16_t*));
      if (grown == nullptr) return false;
      index->entries = static_cast<char16_t**>(grown);
      index->capacity = capacity;
    }
    index->entries[index->count++] = entry;
    entry = NextEntry(entry);
  }
  if (index->count > 0) CountWalk(budget, index->entries[0], index->entries[index->count - 1]);
  return true;
}

void ReleaseHistoryIndex(HistoryIndex* index) {
  std::free(index->entries);
  *index = HistoryIndex{nullptr, 0, 0, false};
}

char16_t* IndexedEntry(const HistoryIndex& index, int64_t position) {
  if (index.count == 0 || position == 0) return nullptr;
  if (position > 0) {
    return static_cast<uint64_t>(position) <= index.count ? index.entries[position - 1] : nullptr;
  }
  const uint64_t magnitude = static_cast<uint64_t>(-position);
  if (magnitude >= index.count) return index.entries[0];  // beyond the list: the oldest
  return index.entries[index.count - magnitude];
}

char16_t* FindIndexedEntry(const HistoryIndex& index, const char16_t* word, size_t length,
                           bool prefixOnly, Budget* budget) {
  if (length == 0) return nullptr;
  const bool foldCase = PluginSettings.caseInsensitive != 0;
  const size_t anchor = AnchorFor(word, length, prefixOnly, foldCase);
  // From the newest entry back: the first match is the newest, and the scan stops there. It
  // reads each entry once: a search of the index costs what it examines, counted every so many
  // entries, so that a line of searches cannot outlast the budget.
  constexpr size_t kEntriesPerCount = 256;
  uint64_t walked = 0, compared = 0;
  char16_t* match = nullptr;
  for (size_t i = index.count; i > 0 && match == nullptr; --i) {
    char16_t* entry = index.entries[i - 1];
    walked += WalkUnits(entry, i < index.count ? index.entries[i] : nullptr);
    if (Matches(entry, word, length, prefixOnly, foldCase, anchor, &compared)) match = entry;
    if (i % kEntriesPerCount == 0) {
      if (!budget->Spend(walked + compared)) return nullptr;
      walked = compared = 0;
    }
  }
  return budget->Spend(walked + compared) ? match : nullptr;
}

Event ReadEvent(Dialect dialect, const char16_t* p) {
  return dialect == kDefaultDialect ? ReadDefaultEvent(p) : ReadBashEvent(p);
}
