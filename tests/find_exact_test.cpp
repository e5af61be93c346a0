// The exact search under the history's containment search and the :s modifier: every small
// text against the standard library's find, and no unit read past a terminator.
#include <gtest/gtest.h>

#include <string>

#include "fixture.h"
#include "text/text.h"

namespace {

// Every text of 0 to `maxLength` units over the letters a and b, so that every offset of a
// match and of a near miss meets every position of the four-unit scan.
std::vector<std::u16string> AllTexts(size_t maxLength) {
  std::vector<std::u16string> texts{u""};
  for (size_t start = 0; texts.back().size() < maxLength;) {
    const size_t end = texts.size();
    for (size_t i = start; i < end; ++i) {
      texts.push_back(texts[i] + u'a');
      texts.push_back(texts[i] + u'b');
    }
    start = end;
  }
  return texts;
}

TEST(FindExact, AgreesWithFindOnEverySmallText) {
  const std::vector<std::u16string> haystacks = AllTexts(10);
  const std::vector<std::u16string> needles = AllTexts(3);
  for (const std::u16string& h : haystacks) {
    for (const std::u16string& n : needles) {
      if (n.empty()) continue;
      const char16_t* found = text::FindExact(h.c_str(), n.c_str(), n.size());
      const size_t expected = h.find(n);
      if (expected == std::u16string::npos) {
        EXPECT_EQ(found, nullptr) << Show(n) << " in " << Show(h);
      } else {
        EXPECT_EQ(found, h.c_str() + expected) << Show(n) << " in " << Show(h);
      }
    }
  }
}

TEST(FindExact, StopsAtTheTerminator) {
  // What follows each terminator would complete a match.
  const struct {
    std::u16string buffer;
    const char16_t* needle;
  } cases[] = {
      {std::u16string(u"ab\0c", 4), u"abc"},    {std::u16string(u"xyzab\0cd", 8), u"abc"},
      {std::u16string(u"\0abc", 4), u"abc"},    {std::u16string(u"xyz\0a", 5), u"a"},
      {std::u16string(u"abcdefg\0h", 9), u"h"},
  };
  for (const auto& c : cases) {
    const size_t length = std::char_traits<char16_t>::length(c.needle);
    EXPECT_EQ(text::FindExact(c.buffer.c_str(), c.needle, length), nullptr)
        << Show(c.needle) << " in " << Show(c.buffer);
  }
}

}  // namespace
