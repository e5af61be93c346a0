// The :s modifier: its grammar, the substitution underneath it, and a shell whose search
// misbehaves (the modifier on Enter: tests/cases/modifier.cpp).
#include "expansion/substitution.h"
#include "fixture.h"
#include "text/text.h"

namespace {

// Every modifier of a rest, in order, as {old, new}, by the default rules; false when one is
// malformed.
bool ParseAll(const std::u16string& rest, std::vector<std::u16string>* texts) {
  texts->clear();
  for (const char16_t* r = rest.c_str(); *r != 0;) {
    TypedSubstitution sub;
    if (r[0] != u':' || r[1] != u's' || !ReadSubstitution(kDefaultDialect, r + 2, &sub)) {
      return false;
    }
    texts->emplace_back(sub.old, sub.oldTyped);
    texts->emplace_back(sub.with, sub.withTyped);
    r = sub.end;
  }
  return true;
}

struct ParseCase {
  std::u16string rest;
  bool accepted;
  std::vector<std::u16string> texts;  // old and new text of each modifier
};

TEST(ParseModifier, Grammar) {
  const ParseCase cases[] = {
      {u"", true, {}},
      {u":s/a/b/", true, {u"a", u"b"}},
      {u":s/a/b", true, {u"a", u"b"}},
      {u":s/a/", true, {u"a", u""}},
      {u":s/a//", true, {u"a", u""}},
      {u":s|/usr|/opt|", true, {u"/usr", u"/opt"}},
      {u":s:a:b:", true, {u"a", u"b"}},
      {u":s?a?b?", true, {u"a", u"b"}},
      {u":s\u00D7a\u00D7b", true, {u"a", u"b"}},  // any punctuation unit
      {u":s/a/b/:s/c/d/", true, {u"a", u"b", u"c", u"d"}},
      {u":s/a/b/:s|c|d", true, {u"a", u"b", u"c", u"d"}},
      {u":s/a/b c/", true, {u"a", u"b c"}},
      {u":S/a/b/", false, {}},
      {u":g/a/b/", false, {}},
      {u":", false, {}},
      {u":s", false, {}},
      {u":sXaXbX", false, {}},
      {u":s a b ", false, {}},
      {u":s/a", false, {}},
      {u":s//b/", false, {}},
      {u":s/a/b/ ", false, {}},
      {u":s/a/b/x", false, {}},
      {u":s/a/b:s/c/d/", false, {}},
      {u" :s/a/b/", false, {}},
      {u"x", false, {}},
  };
  for (const ParseCase& c : cases) {
    std::vector<std::u16string> texts;
    const bool accepted = ParseAll(c.rest, &texts);
    EXPECT_EQ(accepted, c.accepted) << Show(c.rest);
    if (accepted && c.accepted) {
      EXPECT_EQ(texts, c.texts) << Show(c.rest);
    }
  }
}

TEST(ParseModifier, TextLimits) {
  std::vector<std::u16string> texts;
  const std::u16string max(1023, u'o');
  const std::u16string over(1024, u'o');
  EXPECT_TRUE(ParseAll(u":s/" + max + u"/n/", &texts));
  EXPECT_EQ(texts[0], max);
  EXPECT_FALSE(ParseAll(u":s/" + over + u"/n/", &texts));
  // A new text longer than 1023 units is refused, closed or open: never cut.
  for (const std::u16string close : {u"", u"/"}) {
    EXPECT_TRUE(ParseAll(u":s/a/" + max + close, &texts));
    EXPECT_EQ(texts[1], max);
    EXPECT_FALSE(ParseAll(u":s/a/" + over + close, &texts)) << Show(close);
  }
}

class Substitute : public PluginTest {
 protected:
  // The line after Enter on "!!" and `modifier`; a failed expansion leaves it as typed.
  std::u16string Run(const std::u16string& entry, const std::u16string& modifier) {
    standin::SetHistory({entry});
    return PressKey(u"!!" + modifier).line;
  }
};

// The shell's search is used only where its answer lies inside the text with room for the
// old text; any other answer counts as no occurrence.
TEST_F(Substitute, ShellSearchAnswersOutsideTheTextFail) {
  PluginSettings.caseInsensitive = 1;
  struct Hook {
    static char16_t* Before(const char16_t* t, const char16_t*) {
      return const_cast<char16_t*>(t) - 1;
    }
    static char16_t* AtEnd(const char16_t* t, const char16_t*) {
      return const_cast<char16_t*>(t) + text::Length(t) - 1;  // one unit left for "at"
    }
    static char16_t* Far(const char16_t* t, const char16_t*) {
      return const_cast<char16_t*>(t) + 100000;
    }
  };
  for (auto hook : {&Hook::Before, &Hook::AtEnd, &Hook::Far}) {
    standin::SetStristrHook(hook);
    EXPECT_EQ(Run(u"cat x", u":s/at/og/"), u"!!:s/at/og/");
  }
  EXPECT_EQ(standin::HonkCount(), 3);
}

TEST_F(Substitute, DirectResults) {
  std::vector<char16_t> out(kLineCapacity, u'#');
  // The outcome and the line made from `source` with `old` replaced by `with` in `scope`.
  auto run = [&](const std::u16string& source, const std::u16string& old,
                 const std::u16string& with, SubstituteScope scope = kFirst, size_t from = 0) {
    Budget budget = StartBudget();
    size_t length = 0, firstAt = 0;
    const Pattern pattern = PreparePattern(old.c_str(), old.size(), &budget);
    const Replacement r = {&pattern, with.c_str(), with.size()};
    const SubstituteOutcome outcome = ::Substitute(source.c_str(), source.size(), from, r, scope,
                                                   out.data(), &length, &firstAt, nullptr, &budget);
    return std::make_pair(
        outcome, outcome == kReplaced ? std::u16string(out.data(), length) : std::u16string(u"-"));
  };
  using Result = std::pair<SubstituteOutcome, std::u16string>;
  EXPECT_EQ(run(u"one two", u"three", u"x"), Result(kNotFound, u"-"));
  EXPECT_EQ(run(u"", u"a", u"b"), Result(kNotFound, u"-"));
  EXPECT_EQ(run(u"one two", u"two", u"2"), Result(kReplaced, u"one 2"));
  EXPECT_EQ(run(u"two", u"two", u""), Result(kReplaced, u""));
  EXPECT_EQ(run(u"a a a", u"a", u"bb", kGlobal), Result(kReplaced, u"bb bb bb"));
  EXPECT_EQ(run(u"aa ab ba", u"a", u"x", kEachWord), Result(kReplaced, u"xa xb bx"));
  EXPECT_EQ(run(u"a a a", u"a", u"b", kFirst, 1), Result(kReplaced, u"a b a"));
  EXPECT_EQ(run(u"a", u"a", std::u16string(kMaxLineLength, u'b')),
            Result(kReplaced, std::u16string(kMaxLineLength, u'b')));
  EXPECT_EQ(run(u"ab", u"a", std::u16string(kMaxLineLength, u'b')), Result(kTooLong, u"-"));
}

}  // namespace
