// History references: !n, !-n, !+n, !0xN by position, !word and !?word by search. Every
// resolution reads the shell's history through its forward walk only.
#include <cerrno>

#include "core/core.h"
#include "history/history.h"
#include "text/text.h"

namespace {

// Slots of the checkpoint table of one walk.
constexpr size_t kWalkMarks = 256;

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

void WalkHistory(char16_t* oldest, HistoryWalk* walk) {
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
    char16_t* next = NextHistoryEntry(entry);
    if (next == entry) next = nullptr;
    entry = next;
  }
}

// Steps `steps` entries newer from `entry`; null when the list ends first.
char16_t* StepForward(char16_t* entry, uint64_t steps) {
  for (; steps > 0 && entry != nullptr; --steps) {
    char16_t* next = NextHistoryEntry(entry);
    entry = next == entry ? nullptr : next;
  }
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

// The first `length` units of `entry` equal `word`, with A-Z folded when `foldCase`.
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
  return true;
}

}  // namespace

int ParseHistoryNumber(const char16_t* text, int32_t* value, const char16_t** end) {
  errno = 0;
  const char16_t* stop = text;
  int32_t number;
  if (text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') && text::IsXDigit(text[2])) {
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

char16_t* EntryByNumber(int64_t position) {
  char16_t* oldest = HistoryStart();
  if (oldest == nullptr || position == 0) return nullptr;
  if (position > 0) return StepForward(oldest, static_cast<uint64_t>(position - 1));

  const uint64_t magnitude = static_cast<uint64_t>(-position);
  HistoryWalk walk;
  WalkHistory(oldest, &walk);
  if (magnitude >= walk.count) return oldest;  // beyond the list: clamp to the oldest
  return EntryAt(walk, walk.count - static_cast<size_t>(magnitude));
}

char16_t* EntryForNumber(int32_t value) {
  int64_t position = value;
  if (position >= 0 && PluginSettings.countingBase == 0) position += 1;
  return EntryByNumber(position);
}

char16_t* FindEntry(const char16_t* word, bool prefixOnly, char16_t* first, size_t length) {
  if (first == nullptr || length == 0) return nullptr;
  const bool foldCase = PluginSettings.caseInsensitive != 0;
  // Only the exact containment search scans for an anchor unit; choose it once per search.
  const size_t anchor = prefixOnly || foldCase ? 0 : text::SearchAnchor(word, length);
  char16_t* match = nullptr;
  // The newest match wins, so the walk always runs to the end of the list.
  for (char16_t* entry = first; entry != nullptr;) {
    // An exact containment search also finds the word at the start, so only the folding one
    // needs the prefix test first.
    bool matches = (prefixOnly || foldCase) && StartsWith(entry, word, length, foldCase);
    if (!matches && !prefixOnly) {
      matches = foldCase ? _stristr(entry, word) != nullptr
                         : text::FindExact(entry, word, length, anchor) != nullptr;
    }
    if (matches) match = entry;
    char16_t* next = NextHistoryEntry(entry);
    entry = next == entry ? nullptr : next;
  }
  return match;
}

Reference ResolveReference(const char16_t* text) {
  Reference result = {false, nullptr, text};
  const char16_t* p = text;
  if (PluginSettings.allowWhitespace != 0) {
    while (text::IsSpace(*p)) ++p;
  }

  const bool numbered =
      text::IsDigit(p[0]) || ((p[0] == u'+' || p[0] == u'-') && text::IsDigit(p[1]));
  if (numbered) {
    int32_t value = 0;
    const char16_t* end = p;
    if (ParseHistoryNumber(p, &value, &end) != 0) return result;
    result.isReference = true;
    result.entry = EntryForNumber(value);
    result.rest = end;
    return result;
  }

  const bool containment = p[0] == u'?' && text::IsAlpha(p[1]);
  if (!containment && !text::IsAlpha(p[0])) return result;
  if (containment) ++p;

  char16_t word[kWordCapacity];
  size_t length = 0;
  for (; IsWordUnit(*p); ++p) {
    if (length < kWordCapacity - 1) word[length++] = *p;  // units past the 1023rd are dropped
  }
  word[length] = 0;

  result.isReference = true;
  result.entry = FindEntry(word, !containment, HistoryStart(), length);
  result.rest = p;
  return result;
}
