// The exact search under the history's containment search and the :s modifier: every small
// text against the standard library's find, and no unit read past a terminator.
#include <gtest/gtest.h>

#include <string>

#include "fixture.h"
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

TEST(FindExact, AgreesWithFindOnEverySmallText) {
  const std::vector<std::u16string> haystacks = AllTexts(8, u"ebz");
  const std::vector<std::u16string> needles = AllTexts(3, u"ebz");
  for (const std::u16string& h : haystacks) {
    for (const std::u16string& n : needles) {
      if (n.empty()) continue;
      const char16_t* found = text::FindExact(h.c_str(), n.c_str(), n.size());
      const size_t expected = h.find(n);
      // The same search from each anchor, as a caller that chose its own would make it.
      for (size_t anchor = 0; anchor < n.size(); ++anchor) {
        const char16_t* from = text::FindExact(h.c_str(), n.c_str(), n.size(), anchor);
        EXPECT_EQ(from, found) << Show(n) << " in " << Show(h) << " from " << anchor;
      }
      if (expected == std::u16string::npos) {
        EXPECT_EQ(found, nullptr) << Show(n) << " in " << Show(h);
      } else {
        EXPECT_EQ(found, h.c_str() + expected) << Show(n) << " in " << Show(h);
      }
    }
  }
}

TEST(SearchAnchor, PicksTheRarestUnit) {
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
    EXPECT_EQ(text::SearchAnchor(c.needle, length), c.anchor) << Show(c.needle);
  }
}

TEST(FindExact, StopsAtTheTerminator) {
  // What follows each terminator would complete a match.
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
    EXPECT_EQ(text::FindExact(c.buffer.c_str(), c.needle, length), nullptr)
        << Show(c.needle) << " in " << Show(c.buffer);
  }
}

}  // namespace
