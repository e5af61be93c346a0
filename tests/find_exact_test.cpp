// The one search under the history's containment search, :s, :gs and %: every small text
// against a plain search of the test's own, no unit read past a terminator or a span, and the
// work it reports linear in the texts however they are built.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fixture.h"
#include "text/search.h"
#include "text/text.h"

namespace {

// Every text of 0 to `maxLength` units over `letters`. Over a common letter (e), a middling
// one (b) and a rare one (z), every offset of a match and of a near miss meets every position
// of the four-unit scan, with the scanned unit at every place in the needle.
std::vector<std::u16string> AllTexts(size_t maxLength, const std::u16string& letters) {
  std::vector<std::u16string> texts{u""};
  for (size_t start = 0; texts.back().size() < maxLength;) {
    const size_t end = texts.size();
    for (size_t i = start; i < end; ++i) {
      for (char16_t letter : letters) texts.push_back(texts[i] + letter);
    }
    start = end;
  }
  return texts;
}

// The plain search: every place from `from` on, compared whole, folded like the plugin's when
// `folded`, and an occurrence that splits a surrogate pair passed over. `last`: the last one.
size_t PlainFind(const std::u16string& h, const std::u16string& n, size_t from, bool folded,
                 bool last) {
  size_t result = std::u16string::npos;
  for (size_t at = from; at + n.size() <= h.size(); ++at) {
    size_t i = 0;
    while (i < n.size() && (folded ? text::FoldForSearch(h[at + i]) == text::FoldForSearch(n[i])
                                   : h[at + i] == n[i])) {
      ++i;
    }
    if (i < n.size() || text::SplitsCharacter(h.c_str(), h.size(), at, n.size())) continue;
    result = at;
    if (!last) break;
  }
  return result;
}

size_t Offset(const char16_t* found, const std::u16string& h) {
  return found == nullptr ? std::u16string::npos : static_cast<size_t>(found - h.c_str());
}

TEST(Search, AgreesWithAPlainSearchOnEverySmallText) {
  const std::vector<std::u16string> haystacks = AllTexts(7, u"ebz");
  const std::vector<std::u16string> needles = AllTexts(3, u"ebz");
  for (const bool folded : {false, true}) {
    for (const std::u16string& n : needles) {
      if (n.empty()) continue;
      const text::Needle needle = text::PrepareNeedle(n.c_str(), n.size(), folded);
      for (std::u16string h : haystacks) {
        if (folded) {
          for (char16_t& c : h) c = c == u'b' ? u'B' : c;  // a capital to fold
        }
        uint64_t work = 0;
        const std::string where = Show(n) + " in " + Show(h) + (folded ? " folded" : "");
        EXPECT_EQ(Offset(text::FindFirst(h.c_str(), text::kTerminated, 0, needle, &work), h),
                  PlainFind(h, n, 0, folded, false))
            << where;
        for (size_t from = 0; from <= h.size(); ++from) {
          EXPECT_EQ(Offset(text::FindFirst(h.c_str(), h.size(), from, needle, &work), h),
                    PlainFind(h, n, from, folded, false))
              << where << " from " << from;
        }
        EXPECT_EQ(Offset(text::FindLast(h.c_str(), h.size(), needle, &work), h),
                  PlainFind(h, n, 0, folded, true))
            << where << " last";
      }
    }
  }
}

TEST(Search, AnOccurrenceThatSplitsAPairIsNone) {
  const std::u16string pair = u"\U0001F600";  // D83D DE00
  const std::u16string high(1, pair[0]), low(1, pair[1]);
  const struct {
    std::u16string haystack, needle;
  } rows[] = {
      {pair + pair + pair, low + high},
      {u"x" + pair + u"y", low + u"y"},
      {u"x" + pair + u"y", u"x" + high},
      {pair + low + u"x", low + u"x"},
      {high + pair + pair, high + high},
      {std::u16string(50, pair[0]) + low, high},
      {pair + pair + pair + pair, low + high + low},
  };
  for (const auto& row : rows) {
    for (const bool folded : {false, true}) {
      const text::Needle needle =
          text::PrepareNeedle(row.needle.c_str(), row.needle.size(), folded);
      uint64_t work = 0;
      const std::u16string& h = row.haystack;
      EXPECT_EQ(Offset(text::FindFirst(h.c_str(), h.size(), 0, needle, &work), h),
                PlainFind(h, row.needle, 0, folded, false))
          << Show(row.needle) << " in " << Show(h);
      EXPECT_EQ(Offset(text::FindLast(h.c_str(), h.size(), needle, &work), h),
                PlainFind(h, row.needle, 0, folded, true))
          << Show(row.needle) << " in " << Show(h);
    }
  }
}

// Texts built against a search that compares each place with the whole needle: the work grows
// with the texts' lengths, never with their product.
TEST(Search, WorkIsLinearInTheTextsHoweverTheyAreBuilt) {
  auto repeat = [](const std::u16string& s, size_t times) {
    std::u16string out;
    for (size_t i = 0; i < times; ++i) out += s;
    return out;
  };
  const size_t n = 20000;
  const struct {
    std::u16string haystack, needle;
  } rows[] = {
      {repeat(u"a", n), repeat(u"a", 999) + u"b"},
      {repeat(u"a", n), u"b" + repeat(u"a", 999)},
      {repeat(u"ab", n / 2), repeat(u"ab", 500) + u"aa"},
      {repeat(u"ab", n / 2), repeat(u"ab", 500) + u"b"},
      {repeat(u"abc", n / 3), repeat(u"abc", 300) + u"abd"},
      {repeat(u"aab", n / 3), u"aa" + repeat(u"aab", 300)},
      {repeat(u"a", n), repeat(u"a", 1000)},  // every place an occurrence: the last is asked for
      {repeat(u"zzy", n / 3), repeat(u"zzy", 200) + u"zz"},
  };
  for (const auto& row : rows) {
    const std::u16string& h = row.haystack;
    const size_t m = row.needle.size();
    for (const bool folded : {false, true}) {
      const text::Needle needle = text::PrepareNeedle(row.needle.c_str(), m, folded);
      uint64_t first = 0, span = 0, last = 0;
      text::FindFirst(h.c_str(), text::kTerminated, 0, needle, &first);
      text::FindFirst(h.c_str(), h.size(), 0, needle, &span);
      text::FindLast(h.c_str(), h.size(), needle, &last);
      const uint64_t bound = 6 * (h.size() + m);
      EXPECT_LE(first, bound) << Show(row.needle.substr(0, 8)) << " folded " << folded;
      EXPECT_LE(span, bound) << Show(row.needle.substr(0, 8)) << " folded " << folded;
      EXPECT_LE(last, bound) << Show(row.needle.substr(0, 8)) << " folded " << folded;
    }
  }
  // Random texts over two letters, where near misses abound.
  std::mt19937 random(20261209);
  for (int round = 0; round < 200; ++round) {
    std::u16string h, nd;
    for (size_t i = 0; i < 3000; ++i) h += random() % 8 == 0 ? u'b' : u'a';
    for (size_t i = 0, k = 1 + random() % 60; i < k; ++i) nd += random() % 8 == 0 ? u'b' : u'a';
    const text::Needle needle = text::PrepareNeedle(nd.c_str(), nd.size(), false);
    uint64_t work = 0;
    EXPECT_EQ(Offset(text::FindFirst(h.c_str(), h.size(), 0, needle, &work), h),
              PlainFind(h, nd, 0, false, false));
    EXPECT_EQ(Offset(text::FindLast(h.c_str(), h.size(), needle, &work), h),
              PlainFind(h, nd, 0, false, true));
    EXPECT_LE(work, 12 * (h.size() + nd.size())) << Show(nd);
  }
}

TEST(Search, TheFastScanLooksForTheRarestUnit) {
  const struct {
    const char16_t* needle;
    size_t anchor;
  } cases[] = {
      {u"nightly", 6},   // y
      {u"set", 0},       // s is rarer than e and t
      {u"cd x", 3},      // x
      {u"a", 0},         // the only unit
      {u"ab\u00E9", 2},  // beyond ASCII: rarest
      {u"Ab", 0},        // a capital: rarer than any lower-case letter
  };
  for (const auto& c : cases) {
    const size_t length = std::char_traits<char16_t>::length(c.needle);
    EXPECT_EQ(text::PrepareNeedle(c.needle, length, false).anchor, c.anchor) << Show(c.needle);
  }
}

TEST(Search, StopsAtTheTerminatorAndTheSpan) {
  // What follows each terminator, or each span's end, would complete a match.
  const struct {
    std::u16string buffer;
    const char16_t* needle;
  } cases[] = {
      {std::u16string(u"ab\0c", 4), u"abc"},
      {std::u16string(u"xyzab\0cd", 8), u"abc"},
      {std::u16string(u"\0abc", 4), u"abc"},
      {std::u16string(u"xyz\0a", 5), u"a"},
      {std::u16string(u"abcdefg\0h", 9), u"h"},
      {std::u16string(u"xy\0zq", 5), u"yzq"},  // q is scanned for
      {std::u16string(u"q", 1), u"zq"},        // q found before where the word could begin
  };
  for (const auto& c : cases) {
    const size_t length = std::char_traits<char16_t>::length(c.needle);
    const size_t span = std::char_traits<char16_t>::length(c.buffer.c_str());
    for (const bool folded : {false, true}) {
      const text::Needle needle = text::PrepareNeedle(c.needle, length, folded);
      uint64_t work = 0;
      EXPECT_EQ(text::FindFirst(c.buffer.c_str(), text::kTerminated, 0, needle, &work), nullptr)
          << Show(c.needle) << " in " << Show(c.buffer);
      std::u16string unended = c.buffer;
      for (char16_t& u : unended) u = u == 0 ? u'!' : u;  // the span alone must stop it
      EXPECT_EQ(text::FindFirst(unended.c_str(), span, 0, needle, &work), nullptr)
          << Show(c.needle) << " in " << Show(c.buffer);
      EXPECT_EQ(text::FindLast(unended.c_str(), span, needle, &work), nullptr)
          << Show(c.needle) << " in " << Show(c.buffer);
    }
  }
}

}  // namespace
