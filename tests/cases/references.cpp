// History references on Enter: the numbered forms, searches, white space after the bang, both
// ends of the shell's list, and the lines that are no reference.
#include "cases.h"

namespace {

using cases::CheckEnter;
using cases::kFails;
using cases::kOneToFive;

class References : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::StartOn(u"23");
  }
};

TEST_F(References, NumbersCountFromZeroByDefault) {
  host::SetHistory(kOneToFive);
  CheckEnter({
      {u"!0", u"one"},          {u"!4", u"five"},          {u"!5", kFails},
      {u"!6", kFails},          {u"!-1", u"five"},         {u"!-2", u"four"},
      {u"!-5", u"one"},         {u"!-6", u"one"},          {u"!-100", u"one"},
      {u"!-0", kFails},         {u"!+3", u"four"},         {u"!!", u"five"},
      {u"!0x2", u"three"},      {u"!0X2", u"three"},       {u"!0X3", u"four"},
      {u"!0x0x1", u"two"},      {u"!0x0x2", u"three"},     {u"!0xFFFFFFFF", u"five"},
      {u"!0x80000000", u"one"}, {u"!-2147483648", u"one"},
  });
}

TEST_F(References, OutOfRangeAndLeftoverTextFail) {
  host::SetHistory(kOneToFive);
  CheckEnter({
      {u"!0x100000000", kFails},
      {u"!2147483648", kFails},
      {u"!-2147483649", kFails},
      {u"!2147483647", kFails},
      {u"!0xg", kFails},
      {u"!-0x5", kFails},
      {u"!12abc", kFails},
      {u"!1 ", kFails},
      {u"!3 ", kFails},
      {u"!", kFails},
      {u"!?", kFails},
      {u"!?1a", kFails},
      {u"!_x", kFails},
      {u"!$x", kFails},
      {u"!-x", kFails},
      {u"!+", kFails},
      {u"!!x", kFails},
      {u"!! ", kFails},
  });
}

TEST_F(References, CountingBaseOneStartsAtOne) {
  host::Set(u"/Z1");
  host::SetHistory(kOneToFive);
  CheckEnter({
      {u"!1", u"one"},
      {u"!5", u"five"},
      {u"!0", kFails},
      {u"!-0", kFails},
      {u"!6", kFails},
      {u"!-1", u"five"},
      {u"!-5", u"one"},
      {u"!-6", u"one"},
      {u"!0x10", kFails},
  });
}

TEST_F(References, SearchesFindTheNewestMatch) {
  host::SetHistory({u"cd x", u"dir", u"cd y", u"cdrom /mnt", u"Cat $x_1", u"echo ab_1$z"});
  CheckEnter({
      {u"!cd", u"cdrom /mnt"},  // the prefix knows no word boundary
      {u"!cd:s/rom//", u"cd /mnt"},
      {u"!cd:s/rom/ROM/", u"cdROM /mnt"},
      {u"!?ir", u"dir"},
      {u"!?x", u"Cat $x_1"},
      {u"!?y", u"cd y"},
      {u"!Ca", u"Cat $x_1"},
      {u"!?x_1", u"Cat $x_1"},
      {u"!?ab_1$", u"echo ab_1$z"},
      {u"!CD", kFails},
      {u"!? ir", kFails},
      {u"!?ir?", kFails},
      {u"!?word?", kFails},
      {u"!a-b", kFails},
      {u"!zz", kFails},
  });
}

TEST_F(References, WhiteSpaceAfterTheBangBySetting) {
  host::SetHistory({u"cd x", u"dir", u"foo bar", u"copy a.txt b.txt", u"echo cat a"});
  CheckEnter({
      {u"! 1", u"dir"},
      {u"! 3", u"copy a.txt b.txt"},
      {u"!  ?foo", u"foo bar"},
      {u"!  ?ir", u"dir"},
      {u"!\t-1", u"echo cat a"},
      {u"!\t\u00A0cd", u"cd x"},
      {u"!? foo", kFails},
  });
  host::Set(u"/A0");
  CheckEnter({
      {u"! 1", kFails},
      {u"! 3", kFails},
      {u"!  ?foo", kFails},
      {u"!  ?ir", kFails},
      {u"!3", u"copy a.txt b.txt"},
  });
}

// The prefix folds only A-Z itself; a containment search and :s go to the shell's _stristr,
// which folds the rest too.
TEST_F(References, CaseInsensitiveSearches) {
  host::Set(u"/I1");
  host::SetHistory({u"cd x", u"DIR \u00C9T\u00C9", u"Dir", u"\u00E9cho hi", u"Cat a"});
  CheckEnter({
      {u"!CD", u"cd x"},
      {u"!dIR", u"Dir"},
      {u"!?ir", u"Dir"},
      {u"!\u00C9cho", kFails},
      {u"!?HI", u"\u00E9cho hi"},
      {u"!?\u00E9t\u00E9", u"DIR \u00C9T\u00C9"},
      {u"!cAT", u"Cat a"},
      {u"!!:s/CAT/dog/", u"dog a"},
  });
}

// A search word is compared whole: one longer than 1023 units is refused, never compared on
// its first units only.
TEST_F(References, ALongSearchWordIsComparedWhole) {
  const std::u16string entry = std::u16string(u"x").append(1100, u'a');
  const std::u16string trap = std::u16string(1023, u'a') + u"XYZ run-me";
  host::SetHistory({entry, trap, u"other"});
  CheckEnter({
      {u"!" + std::u16string(1500, u'a'), kFails},
      {u"!?" + std::u16string(1500, u'a'), kFails},
      {u"!x" + std::u16string(1022, u'a'), entry},  // 1023 units: compared whole
      {u"!x" + std::u16string(1022, u'a') + u":s/x/y/", u"y" + entry.substr(1)},
      {u"!x" + std::u16string(1023, u'a'), kFails},  // 1024 units
      {u"!x" + std::u16string(1021, u'a') + u"b", kFails},
      {u"!" + std::u16string(1023, u'a'), trap},
  });
}

TEST_F(References, EmptyHistoryFailsEveryForm) {
  host::SetHistory({});
  CheckEnter({
      {u"!!", kFails},
      {u"!0", kFails},
      {u"!-1", kFails},
      {u"!a", kFails},
      {u"!cd", kFails},
      {u"!?a", kFails},
      {u"!?d", kFails},
      {u"!0x1", kFails},
  });
}

// The shell ends its list with null or with the newest entry itself; both are understood.
TEST_F(References, BothEndsOfTheListAreUnderstood) {
  for (const bool bySelf : {false, true}) {
    SCOPED_TRACE(bySelf ? "the end reported by the entry itself" : "the end reported by null");
    host::SetEndBySelf(bySelf);
    host::SetHistory(kOneToFive);
    CheckEnter({{u"!!", u"five"}, {u"!-2", u"four"}, {u"!5", kFails}, {u"!?o", u"four"}});
    host::SetHistory({u"only"});
    CheckEnter({{u"!!", u"only"}, {u"!-1", u"only"}, {u"!1", kFails}});
  }
}

// Only a line that begins with '!' is looked at: nothing is asked of the system, and nothing
// beeps.
TEST_F(References, OnlyLinesThatBeginWithABangAreTouched) {
  host::SetHistory(kOneToFive);
  for (const std::u16string line : {u"dir", u" !!", u"\t!1", u"", u"echo !!", u"x!1"}) {
    SCOPED_TRACE(ShowBrief(line));
    const host::KeyResult r = host::Press(line);
    EXPECT_TEXT(r.line, line);
    EXPECT_EQ(r.key, kKeyEnter);
    EXPECT_EQ(r.redraw, 0);
    EXPECT_TRUE(host::TakeKeyQueries().empty());
  }
  EXPECT_EQ(host::HonkCount(), 0);
  EXPECT_EQ(host::ClearEditLineCount(), 0);
}

}  // namespace
