// The search for a text within a text: a fast scan for the needle's rarest unit, which serves the
// texts people type, backed by the Two-Way algorithm (Crochemore and Perrin), which compares no
// place of the text against the whole needle more than twice, wherever the fast scan would
// compare too much.
#include "text/search.h"

#include "platform/platform.h"
#include "text/text.h"
#include "text/work.h"

namespace text {

namespace {

// ==== Case-blind folding ====

// The folds of the units from 0x80 up, filled a block of 256 at a time at its first use.
// Process-wide; written only on the shell's thread, within a keystroke.
constexpr size_t kFoldBlocks = 256;
char16_t FoldTable[kFoldBlocks * 256];
bool FoldBlockReady[kFoldBlocks];

void FillFoldBlock(size_t block) {
  for (size_t k = 0; k < 256; ++k) {
    char16_t unit[2] = {static_cast<char16_t>(block * 256 + k), 0};
    if (unit[0] != 0) win::CharUpperW(unit);
    FoldTable[block * 256 + k] = unit[0];
  }
  FoldBlockReady[block] = true;
}

// ==== How a unit compares ====

template <bool kFolded>
inline char16_t Canon(char16_t c) {
  return kFolded ? FoldForSearch(c) : c;
}

// ==== How often a unit turns up in command lines ====

// Roughly: blanks and path punctuation most, lower-case letters by their frequency in English
// text, then digits and capitals, units outside ASCII least. It only chooses which unit of a
// needle the fast scan looks for.
constexpr unsigned char CommonnessOf(unsigned c) {
  constexpr char kLettersRarestFirst[] = "zqxjkvbpygfwmucldrhsnioate";
  if (c == ' ' || c == '\\' || c == '/' || c == '.' || c == '-' || c == ':') return 40;
  for (unsigned i = 0; i < 26; ++i) {
    if (c == static_cast<unsigned>(kLettersRarestFirst[i])) {
      return static_cast<unsigned char>(10 + i);
    }
  }
  if (c >= '0' && c <= '9') return 8;
  if (c >= 'A' && c <= 'Z') return 6;
  if (c > 0x20 && c < 0x7F) return 5;
  return c < 0x80 ? 1 : 0;
}

struct CommonnessTable {
  unsigned char rank[128];
};

constexpr CommonnessTable MakeCommonnessTable() {
  CommonnessTable table{};
  for (unsigned c = 0; c < 128; ++c) table.rank[c] = CommonnessOf(c);
  return table;
}

constexpr CommonnessTable kCommonness = MakeCommonnessTable();

inline unsigned Commonness(char16_t c) {
  return c < 128 ? kCommonness.rank[c] : 0;
}

// ==== The critical factorization ====

// The maximal suffix of `x` (`m` units) by the order of units (`reversed`: the reverse order),
// and its period in `*period`: the start of the suffix.
template <bool kFolded>
size_t MaximalSuffix(const char16_t* x, size_t m, bool reversed, size_t* period) {
  size_t suffix = SIZE_MAX;  // one before the start, so that x[suffix + k] is x[k - 1]
  size_t j = 0, k = 1, p = 1;
  while (j + k < m) {
    const char16_t a = Canon<kFolded>(x[j + k]);
    const char16_t b = Canon<kFolded>(x[suffix + k]);
    if (reversed ? b < a : a < b) {  // the suffix is smaller: its period is all of it so far
      j += k;
      k = 1;
      p = j - suffix;
    } else if (a == b) {  // through one more repetition of the period
      if (k != p) {
        ++k;
      } else {
        j += p;
        k = 1;
      }
    } else {  // the suffix is larger: start again here
      suffix = j++;
      k = p = 1;
    }
  }
  *period = p;
  return suffix + 1;
}

template <bool kFolded>
void Factorize(Needle* n) {
  size_t period = 0, periodReversed = 0;
  const size_t forward = MaximalSuffix<kFolded>(n->units, n->length, false, &period);
  const size_t backward = MaximalSuffix<kFolded>(n->units, n->length, true, &periodReversed);
  // The later of the two starts is a critical position (the reversed order's on a tie); the
  // period found with it is the right half's, which never reaches past the needle from the left
  // half's start.
  n->critical = backward < forward ? forward : backward;
  n->period = backward < forward ? period : periodReversed;
  n->periodic = true;
  for (size_t i = 0; i < n->critical; ++i) {
    if (Canon<kFolded>(n->units[i]) != Canon<kFolded>(n->units[i + n->period])) {
      n->periodic = false;
      break;
    }
  }
  if (!n->periodic) {
    const size_t right = n->length - n->critical;
    n->period = (n->critical > right ? n->critical : right) + 1;
  }
}

// ==== Whole characters ====

// Whether an occurrence from `start` to `stop` in the text from `begin` to `end` (null: to its
// terminator) begins and ends between whole characters, by the one test of it (SplitsCharacter).
inline bool Whole(const char16_t* begin, const char16_t* end, const char16_t* start,
                  const char16_t* stop) {
  const size_t length = end != nullptr ? static_cast<size_t>(end - begin) : kTerminated;
  return !SplitsCharacter(begin, length, static_cast<size_t>(start - begin),
                          static_cast<size_t>(stop - start));
}

// ==== Two-Way ====

// The leftmost (or, with `last`, the rightmost) whole-character occurrence that begins at or
// after `from` in the text from `begin` to `end`: at most 2 * (end - from) compares, none past
// `end`. The compares are added to `*work`. After an occurrence that is not taken (one that
// splits a pair, or any while looking for the last), the search goes on as after a match: by
// the period, which no two occurrences are closer than.
template <bool kFolded>
const char16_t* TwoWay(const char16_t* begin, const char16_t* end, const char16_t* from,
                       const Needle& n, bool last, uint64_t* work) {
  const size_t m = n.length;
  const size_t l = n.critical;
  const size_t length = static_cast<size_t>(end - from);
  const char16_t* text = from;
  uint64_t compared = 0;
  const char16_t* found = nullptr;
  size_t memory = 0;  // units of the needle known to match at j, for a periodic needle
  for (size_t j = 0; m <= length && j <= length - m;) {
    const size_t right = l > memory ? l : memory;
    size_t i = right;
    while (i < m && Canon<kFolded>(n.units[i]) == Canon<kFolded>(text[i + j])) ++i;
    compared += i - right + 1;
    if (i < m) {
      j += i - l + 1;
      memory = 0;
      continue;
    }
    const size_t floor = n.periodic ? memory : 0;
    i = l;
    while (i > floor && Canon<kFolded>(n.units[i - 1]) == Canon<kFolded>(text[i - 1 + j])) --i;
    compared += l - i + 1;
    if (i <= floor && Whole(begin, end, text + j, text + j + m)) {
      found = text + j;
      if (!last) break;
    }
    j += n.period;
    memory = n.periodic ? m - n.period : 0;
  }
  *work += compared;
  work::Done(compared);
  return found;
}

// ==== The fast scan ====

// The next place from `p` on, before `end` (kSpan) or the terminator, whose unit compares equal
// to `unit`; `end` (or the terminator's place) when there is none. The exact scan of a
// terminated text tests four units a step, each read only after the one before proved not to be
// the terminator.
template <bool kFolded, bool kSpan>
inline const char16_t* NextCandidate(const char16_t* p, const char16_t* end, char16_t unit) {
  if (!kFolded && !kSpan) {
    for (;; p += 4) {
      if (p[0] == unit || p[0] == 0) return p;
      if (p[1] == unit || p[1] == 0) return p + 1;
      if (p[2] == unit || p[2] == 0) return p + 2;
      if (p[3] == unit || p[3] == 0) return p + 3;
    }
  }
  for (; kSpan ? p < end : *p != 0; ++p) {
    if (Canon<kFolded>(*p) == unit) return p;
  }
  return p;
}

// The search of the text from `begin` to `end` (kSpan) or its terminator, from `from` on.
// Candidates come in the order of their start, so the first full match is the leftmost. Once the
// units compared at candidates outgrow the units scanned and the needle, the rest of the text
// goes to Two-Way.
template <bool kFolded, bool kSpan>
const char16_t* Find(const char16_t* begin, const char16_t* end, const char16_t* from,
                     const Needle& n, uint64_t* work) {
  const size_t m = n.length;
  const char16_t unit = Canon<kFolded>(n.units[n.anchor]);
  uint64_t compared = 0;
  const char16_t* p = from;
  const char16_t* found = nullptr;
  for (;; ++p) {
    p = NextCandidate<kFolded, kSpan>(p, end, unit);
    if (kSpan ? p >= end : *p == 0) break;
    if (static_cast<size_t>(p - from) < n.anchor) continue;  // would begin before `from`
    const char16_t* start = p - n.anchor;
    if (kSpan && static_cast<size_t>(end - start) < m) break;
    size_t i = 0;  // stops at a terminated text's terminator, which no needle unit equals
    while (i < m && Canon<kFolded>(start[i]) == Canon<kFolded>(n.units[i])) ++i;
    compared += i < m ? i + 1 : m;
    if (i == m && Whole(begin, kSpan ? end : nullptr, start, start + m)) {
      found = start;
      break;
    }
    if (compared > static_cast<uint64_t>(p - from) + m) {
      // The needle's parts recur in the text: no occurrence begins at or before `start`, and the
      // rest is searched by Two-Way.
      const char16_t* next = start + 1;
      const size_t rest =
          kSpan ? static_cast<size_t>(end - next) : BoundedLength(next, static_cast<size_t>(-1));
      const uint64_t done = compared + static_cast<uint64_t>(p - from) + (kSpan ? 0 : rest);
      *work += done;
      work::Done(done);
      return TwoWay<kFolded>(begin, next + rest, next, n, false, work);
    }
  }
  const uint64_t done = compared + static_cast<uint64_t>(p - from) + (found != nullptr ? 0 : 1);
  *work += done;
  work::Done(done);
  return found;
}

// The places of the text from `text` to `end` (kSpan) or its terminator, and how many of them
// hold a unit that compares equal to `first` (as the search compares it); `*wide` gets every
// unit's bits together. A unit below 0x80 compares equal when it equals `first` with the case bit
// of a letter set, so that the usual text costs one compare a unit; the fold of a unit from 0x80
// on is looked up.
template <bool kFolded, bool kSpan>
size_t CountStarts(const char16_t* text, const char16_t* end, char16_t first, size_t* places,
                   char16_t* wide) {
  const char16_t caseBit = kFolded && first >= u'a' && first <= u'z' ? 0x20 : 0;
  size_t starts = 0;
  char16_t bits = 0;
  const char16_t* p = text;
  for (; kSpan ? p < end : *p != 0; ++p) {
    const char16_t c = *p;
    bits |= c;
    if (c < 0x80 || !kFolded) {
      starts += static_cast<char16_t>(c | caseBit) == first ? 1 : 0;
    } else {
      starts += FoldForSearch(c) == first ? 1 : 0;
    }
  }
  *places = static_cast<size_t>(p - text);
  *wide = bits;
  return starts;
}

}  // namespace

char16_t FoldBeyondAscii(char16_t c) {
  const size_t block = c / 256;
  if (!FoldBlockReady[block]) FillFoldBlock(block);
  return FoldTable[c];
}

Needle PrepareNeedle(const char16_t* units, size_t length, bool folded) {
  Needle n = {units, length, folded, 0, 0, 1, false};
  for (size_t i = 1; i < length; ++i) {
    if (Commonness(units[i]) < Commonness(units[n.anchor])) n.anchor = i;
  }
  if (folded) {
    Factorize<true>(&n);
  } else {
    Factorize<false>(&n);
  }
  work::Done(3 * length);
  return n;
}

const char16_t* FindFirst(const char16_t* text, size_t length, size_t from, const Needle& needle,
                          uint64_t* work) {
  if (length != kTerminated) {
    if (from > length || needle.length > length - from) return nullptr;
    return needle.folded ? Find<true, true>(text, text + length, text + from, needle, work)
                         : Find<false, true>(text, text + length, text + from, needle, work);
  }
  return needle.folded ? Find<true, false>(text, nullptr, text + from, needle, work)
                       : Find<false, false>(text, nullptr, text + from, needle, work);
}

const char16_t* FindLast(const char16_t* text, size_t length, const Needle& needle,
                         uint64_t* work) {
  return needle.folded ? TwoWay<true>(text, text + length, text, needle, true, work)
                       : TwoWay<false>(text, text + length, text, needle, true, work);
}

SimpleSearchCost CostOfSimpleSearch(const char16_t* text, size_t length, const Needle& needle,
                                    uint64_t* work) {
  const char16_t first = needle.folded ? FoldForSearch(needle.units[0]) : needle.units[0];
  const bool span = length != kTerminated;
  const char16_t* end = span ? text + length : nullptr;
  size_t places = 0, starts = 0;
  char16_t wide = 0;
  if (needle.folded) {
    starts = span ? CountStarts<true, true>(text, end, first, &places, &wide)
                  : CountStarts<true, false>(text, end, first, &places, &wide);
  } else {
    starts = span ? CountStarts<false, true>(text, end, first, &places, &wide)
                  : CountStarts<false, false>(text, end, first, &places, &wide);
  }
  *work += places + 1;
  work::Done(places + 1);
  return {places + static_cast<uint64_t>(starts) * (needle.length - 1),
          starts == 0 && static_cast<char16_t>(wide | needle.units[0]) < 0x80};
}

}  // namespace text
