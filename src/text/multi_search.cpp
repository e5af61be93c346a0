// Many texts searched for at once by the shift-and algorithm: each text is a run of bits of one
// long state, and each unit read moves every run on by one place where the unit fits.
#include "text/multi_search.h"

#include "text/search.h"
#include "text/text.h"
#include "text/work.h"

namespace text {

namespace {

// The mask index of `c` (compared as the search compares it), giving a unit met for the first
// time the next index.
size_t IndexOf(MultiSearch* s, char16_t c) {
  if (s->indexOf[c] == 0) {
    s->unitAt[++s->units] = c;
    s->indexOf[c] = static_cast<uint16_t>(s->units);
  }
  return s->indexOf[c];
}

// The place of the lowest bit set in `bits` (not 0).
inline size_t LowestBit(uint64_t bits) {
#if defined(__GNUC__) || defined(__clang__)
  return static_cast<size_t>(__builtin_ctzll(bits));
#else
  size_t n = 0;
  for (; (bits & 1) == 0; bits >>= 1) ++n;
  return n;
#endif
}

}  // namespace

bool PrepareMultiSearch(MultiSearch* s, const char16_t* const* texts, const size_t* lengths,
                        size_t count, bool folded) {
  size_t total = 0;
  for (size_t i = 0; i < count; ++i) total += lengths[i];
  if (count == 0 || total > kMultiSearchUnits) return false;
  s->count = count;
  s->words = (total + 63) / 64;
  s->folded = folded;
  for (size_t w = 0; w < kMultiSearchWords; ++w) s->starts[w] = s->active[w] = 0;
  const size_t previous = s->units;
  for (size_t k = 1; k <= previous; ++k) s->indexOf[s->unitAt[k]] = 0;
  s->units = 0;
  for (size_t row = 0; row <= total; ++row) {
    for (size_t w = 0; w < s->words; ++w) s->masks[row][w] = 0;
  }
  size_t place = 0;
  for (size_t i = 0; i < count; ++i) {
    s->lengthOf[i] = static_cast<uint16_t>(lengths[i]);
    for (size_t j = 0; j < lengths[i]; ++j, ++place) {
      const char16_t c = folded ? FoldForSearch(texts[i][j]) : texts[i][j];
      const size_t index = IndexOf(s, c);
      const uint64_t bit = 1ull << (place % 64);
      s->masks[index][place / 64] |= bit;
      if (j == 0) s->starts[place / 64] |= bit;
      if (j + 1 == lengths[i]) {
        s->active[place / 64] |= bit;
        s->textAt[place] = static_cast<uint16_t>(i);
      }
    }
  }
  work::Done(2 * total + previous);
  return true;
}

void RetireText(MultiSearch* s, size_t i) {
  size_t place = 0;
  for (size_t k = 0; k < i; ++k) place += s->lengthOf[k];
  place += s->lengthOf[i] - 1;
  s->active[place / 64] &= ~(1ull << (place % 64));
}

uint64_t ScanForTexts(const MultiSearch& s, const char16_t* text, bool* found, size_t* seen) {
  *seen = 0;
  uint64_t state[kMultiSearchWords] = {};
  uint64_t work = 0;
  const char16_t* p = text;
  for (; *p != 0; ++p) {
    const uint64_t* mask = s.masks[s.indexOf[s.folded ? FoldForSearch(*p) : *p]];
    uint64_t carry = 0, hits = 0;
    for (size_t w = 0; w < s.words; ++w) {
      const uint64_t moved = (state[w] << 1) | carry | s.starts[w];
      carry = state[w] >> 63;
      state[w] = moved & mask[w];
      hits |= state[w] & s.active[w];
    }
    work += s.words;
    if (hits == 0) continue;
    for (size_t w = 0; w < s.words; ++w) {
      for (uint64_t bits = state[w] & s.active[w]; bits != 0; bits &= bits - 1) {
        const size_t i = s.textAt[w * 64 + LowestBit(bits)];
        const size_t start = static_cast<size_t>(p + 1 - text) - s.lengthOf[i];
        if (!found[i] && !SplitsCharacter(text, kTerminated, start, s.lengthOf[i])) {
          found[i] = true;
          ++*seen;
        }
        ++work;
      }
    }
  }
  work += static_cast<uint64_t>(p - text) + 1;
  work::Done(work);
  return work;
}

}  // namespace text
