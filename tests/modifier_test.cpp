// The :s modifier: its grammar, and the substitution of the first occurrence.
#include "fixture.h"

namespace {

struct ParseCase {
  std::u16string rest;
  bool accepted;
  bool present;
  std::u16string oldText;
  std::u16string newText;
};

TEST(ParseModifiers, Grammar) {
  const ParseCase cases[] = {
      {u"", true, false, u"", u""},
      {u":s/a/b/", true, true, u"a", u"b"},
      {u":s/a/b", true, true, u"a", u"b"},
      {u":s/a/", true, true, u"a", u""},
      {u":s/a//", true, true, u"a", u""},
      {u":s|/usr|/opt|", true, true, u"/usr", u"/opt"},
      {u":s:a:b:", true, true, u"a", u"b"},
      {u":s?a?b?", true, true, u"a", u"b"},
      {u":s\u00D7a\u00D7b", true, true, u"a", u"b"},  // any punctuation unit
      {u":s/a/b/:s/c/d/", true, true, u"c", u"d"},
      {u":s/a/b/:s/c/d", true, true, u"c", u"d"},
      {u":s/a/b c/", true, true, u"a", u"b c"},
      {u":S/a/b/", false, false, u"", u""},
      {u":g/a/b/", false, false, u"", u""},
      {u":", false, false, u"", u""},
      {u":s", false, false, u"", u""},
      {u":sXaXbX", false, false, u"", u""},
      {u":s a b ", false, false, u"", u""},
      {u":s/a", false, false, u"", u""},
      {u":s//b/", false, false, u"", u""},
      {u":s/a/b/ ", false, false, u"", u""},
      {u":s/a/b/x", false, false, u"", u""},
      {u":s/a/b:s/c/d/", false, false, u"", u""},
      {u" :s/a/b/", false, false, u"", u""},
      {u"x", false, false, u"", u""},
  };
  for (const ParseCase& c : cases) {
    SubstitutionModifier m;
    const bool accepted = ParseModifiers(c.rest.c_str(), &m);
    EXPECT_EQ(accepted, c.accepted) << Show(c.rest);
    if (!accepted || !c.accepted) continue;
    EXPECT_EQ(m.present, c.present) << Show(c.rest);
    EXPECT_EQ(std::u16string(m.oldText), c.oldText) << Show(c.rest);
    EXPECT_EQ(std::u16string(m.newText), c.newText) << Show(c.rest);
  }
}

TEST(ParseModifiers, TextLimits) {
  SubstitutionModifier m;
  const std::u16string max(1023, u'o');
  const std::u16string over(1024, u'o');
  EXPECT_TRUE(ParseModifiers((u":s/" + max + u"/n/").c_str(), &m));
  EXPECT_EQ(std::u16string(m.oldText), max);
  EXPECT_FALSE(ParseModifiers((u":s/" + over + u"/n/").c_str(), &m));

  // An open new text is cut to 1023 units; a closed one that long is refused.
  EXPECT_TRUE(ParseModifiers((u":s/a/" + over).c_str(), &m));
  EXPECT_EQ(std::u16string(m.newText), max);
  EXPECT_TRUE(ParseModifiers((u":s/a/" + max + u"/").c_str(), &m));
  EXPECT_EQ(std::u16string(m.newText), max);
  EXPECT_FALSE(ParseModifiers((u":s/a/" + over + u"/").c_str(), &m));
}

class Substitute : public PluginTest {
 protected:
  std::u16string Run(const std::u16string& entry, const std::u16string& modifier) {
    standin::SetHistory({entry});
    return PressKey(u"!!" + modifier).line;
  }
};

TEST_F(Substitute, FirstOccurrenceOnly) {
  struct Case {
    const char16_t* entry;
    const char16_t* modifier;
    const char16_t* result;
  } cases[] = {
      {u"cat a", u":s/a/b/", u"cbt a"},
      {u"cat a", u":s/a/b", u"cbt a"},
      {u"cat a", u":s/a/", u"ct a"},
      {u"ab", u":s/a/x/", u"xb"},
      {u"ab", u"s/a//", u"ab"},  // not a modifier: fails, line unchanged below
      {u"ab", u":s/a//", u"b"},
      {u"cd foo", u":s/cd/xy/", u"xy foo"},
      {u"ls /usr/bin", u":s|/usr|/opt|", u"ls /opt/bin"},
      {u"a c a c", u":s/a/b/:s/c/d/", u"a d a c"},
      {u"aaa", u":s/a/aa/", u"aaaa"},
      {u"cat x", u":s/dog/cow/", u"cat x"},
      {u"cat x", u":s/CAT/dog/", u"cat x"},
      {u"tail", u":s/il/ke/", u"take"},
  };
  for (const Case& c : cases) {
    const std::u16string modifier = c.modifier;
    const std::u16string expected =
        modifier[0] == u':' ? std::u16string(c.result) : u"!!" + modifier;
    EXPECT_EQ(Run(c.entry, modifier), expected) << Show(c.entry) << " " << Show(c.modifier);
  }
  EXPECT_EQ(standin::HonkCount(), 1);  // only the line that is no modifier failed
}

TEST_F(Substitute, CaseInsensitiveUsesTheShellsSearch) {
  PluginSettings.caseInsensitive = 1;
  EXPECT_EQ(Run(u"cat x", u":s/CAT/dog/"), u"dog x");
  EXPECT_EQ(Run(u"x CaT cat", u":s/cat/dog/"), u"x dog cat");
}

TEST_F(Substitute, ResultLongerThanTheLineLeavesTheEntry) {
  const std::u16string entry = u"a" + std::u16string(65533, u'z');  // 65534 units
  EXPECT_EQ(Run(entry, u":s/a/bc/"), u"bc" + entry.substr(1));      // exactly 65535
  EXPECT_EQ(Run(entry, u":s/a/bcd/"), entry);                       // 65536: left as recalled
  EXPECT_EQ(standin::HonkCount(), 0);
}

TEST_F(Substitute, DirectResults) {
  char16_t line[kLineCapacity] = u"one two";
  EXPECT_EQ(SubstituteFirst(line, nullptr, u"x"), -1);
  EXPECT_EQ(SubstituteFirst(line, u"o", nullptr), -1);
  EXPECT_EQ(SubstituteFirst(line, u"", u"x"), 0);
  EXPECT_EQ(SubstituteFirst(line, u"three", u"x"), 0);
  EXPECT_EQ(std::u16string(line), u"one two");
  EXPECT_EQ(SubstituteFirst(line, u"two", u"2"), 1);
  EXPECT_EQ(std::u16string(line), u"one 2");
  char16_t empty[kLineCapacity] = u"";
  EXPECT_EQ(SubstituteFirst(empty, u"a", u"b"), 0);
}

}  // namespace
