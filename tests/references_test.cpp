// History references through the keystroke handler: numbered forms, searches, and the
// number parser and walks underneath them.
#include <cerrno>

#include "expansion/events.h"
#include "expansion/history_view.h"
#include "fixture.h"

namespace {

struct RefCase {
  const char16_t* line;
  const char16_t* expected;
};

class References : public PluginTest {
 protected:
  template <size_t N>
  void ExpectAll(const RefCase (&cases)[N]) {
    for (const RefCase& c : cases) EXPECT_EQ(Expand(c.line), c.expected) << Show(c.line);
  }

  void SetUp() override {
    PluginTest::SetUp();
    standin::SetHistory({u"one", u"two", u"three", u"four", u"five"});
  }

  // The line after Enter, or "<failed>" when the expansion failed (the line unchanged and a
  // beep sounded).
  std::u16string Expand(const std::u16string& line) {
    const int honks = standin::HonkCount();
    KeyResult r = PressKey(line);
    if (r.line == line && r.redraw == 0) {
      EXPECT_EQ(standin::HonkCount(), honks + 1) << "no beep for " << Show(line);
      return u"<failed>";
    }
    return r.line;
  }
};

TEST_F(References, NumbersCountFromZeroByDefault) {
  const RefCase cases[] = {
      {u"!0", u"one"},           {u"!4", u"five"},         {u"!5", u"<failed>"},
      {u"!-1", u"five"},         {u"!-5", u"one"},         {u"!-6", u"one"},
      {u"!-100", u"one"},        {u"!6", u"<failed>"},     {u"!-0", u"<failed>"},
      {u"!+3", u"four"},         {u"!-2", u"four"},        {u"!!", u"five"},
      {u"!0x2", u"three"},       {u"!0X3", u"four"},       {u"!0x0x2", u"three"},
      {u"!0xFFFFFFFF", u"five"}, {u"!0x80000000", u"one"}, {u"!-2147483648", u"one"},
  };
  ExpectAll(cases);
}

TEST_F(References, CountingBaseOneStartsAtOne) {
  PluginSettings.countingBase = 1;
  const RefCase cases[] = {
      {u"!1", u"one"},   {u"!5", u"five"}, {u"!0", u"<failed>"}, {u"!-0", u"<failed>"},
      {u"!-1", u"five"}, {u"!-5", u"one"}, {u"!-6", u"one"},     {u"!6", u"<failed>"},
  };
  ExpectAll(cases);
}

TEST_F(References, OutOfRangeAndLeftoverTextFail) {
  const RefCase cases[] = {
      {u"!0x100000000", u"<failed>"}, {u"!2147483648", u"<failed>"}, {u"!-2147483649", u"<failed>"},
      {u"!2147483647", u"<failed>"},  {u"!0xg", u"<failed>"},        {u"!-0x5", u"<failed>"},
      {u"!12abc", u"<failed>"},       {u"!1 ", u"<failed>"},         {u"!", u"<failed>"},
      {u"!?", u"<failed>"},           {u"!?1a", u"<failed>"},        {u"!_x", u"<failed>"},
      {u"!$x", u"<failed>"},          {u"!-x", u"<failed>"},         {u"!+", u"<failed>"},
      {u"!!x", u"<failed>"},          {u"!! ", u"<failed>"},
  };
  ExpectAll(cases);
}

TEST_F(References, WhitespaceAfterTheBangBySetting) {
  standin::SetHistory({u"cd x", u"dir", u"foo bar"});
  EXPECT_EQ(Expand(u"! 1"), u"dir");
  EXPECT_EQ(Expand(u"!  ?foo"), u"foo bar");
  EXPECT_EQ(Expand(u"!\t\u00A0cd"), u"cd x");
  EXPECT_EQ(Expand(u"!? foo"), u"<failed>");
  PluginSettings.allowWhitespace = 0;
  EXPECT_EQ(Expand(u"! 1"), u"<failed>");
  EXPECT_EQ(Expand(u"!  ?foo"), u"<failed>");
}

TEST_F(References, SearchesFindTheNewestMatch) {
  standin::SetHistory({u"cd x", u"dir", u"cd y", u"cdrom /mnt", u"echo ab_1$z"});
  const RefCase cases[] = {
      {u"!cd", u"cdrom /mnt"},  // the prefix knows no word boundary
      {u"!cd:s/rom//", u"cd /mnt"},
      {u"!?ir", u"dir"},
      {u"!?x", u"cd x"},
      {u"!?y", u"cd y"},
      {u"!?ab_1$", u"echo ab_1$z"},
      {u"!CD", u"<failed>"},
      {u"!?word?", u"<failed>"},
      {u"!a-b", u"<failed>"},
      {u"!zz", u"<failed>"},
  };
  ExpectAll(cases);
}

TEST_F(References, CaseInsensitiveSearchesFoldOnlyAsciiInThePrefix) {
  standin::SetHistory({u"cd x", u"\u00E9cho hi", u"Dir"});
  PluginSettings.caseInsensitive = 1;
  EXPECT_EQ(Expand(u"!CD"), u"cd x");
  EXPECT_EQ(Expand(u"!dIR"), u"Dir");
  EXPECT_EQ(Expand(u"!\u00C9cho"), u"<failed>");  // prefix folds only A-Z
  EXPECT_EQ(Expand(u"!?HI"), u"\u00E9cho hi");    // containment goes to the shell's search
}

// A search word is compared whole: one longer than 1023 units is refused, never compared on
// its first units only.
TEST_F(References, LongWordIsComparedWholeOrRefused) {
  const std::u16string entry = u"x" + std::u16string(1100, u'a');
  const std::u16string trap = std::u16string(1023, u'a') + u"XYZ run-me";
  standin::SetHistory({entry, trap, u"other"});
  const std::pair<std::u16string, std::u16string> rows[] = {
      {u"!" + std::u16string(1500, u'a'), u"<failed>"},
      {u"!?" + std::u16string(1500, u'a'), u"<failed>"},
      {u"!x" + std::u16string(1022, u'a'), entry},  // 1023 units: compared whole
      {u"!x" + std::u16string(1022, u'a') + u":s/x/y/", u"y" + entry.substr(1)},
      {u"!x" + std::u16string(1023, u'a'), u"<failed>"},  // 1024 units
      {u"!x" + std::u16string(1021, u'a') + u"b", u"<failed>"},
      {u"!" + std::u16string(1023, u'a'), trap},
  };
  for (const auto& row : rows) EXPECT_EQ(Expand(row.first), row.second) << row.first.size();
}

TEST_F(References, EmptyHistoryFailsEveryForm) {
  standin::ClearHistory();
  for (const char16_t* line : {u"!!", u"!0", u"!-1", u"!a", u"!?a", u"!0x1"}) {
    EXPECT_EQ(Expand(line), u"<failed>") << Show(line);
  }
}

TEST_F(References, BothEndsOfTheListAreUnderstood) {
  for (bool bySelf : {false, true}) {
    standin::SetEndBySelf(bySelf);
    EXPECT_EQ(Expand(u"!!"), u"five") << bySelf;
    EXPECT_EQ(Expand(u"!-2"), u"four") << bySelf;
    EXPECT_EQ(Expand(u"!5"), u"<failed>") << bySelf;
    EXPECT_EQ(Expand(u"!?o"), u"four") << bySelf;
    standin::SetHistory({u"only"});
    EXPECT_EQ(Expand(u"!!"), u"only") << bySelf;
    standin::SetHistory({u"one", u"two", u"three", u"four", u"five"});
  }
}

TEST_F(References, NegativeNumbersReachEveryEntryOfALongHistory) {
  // Long enough for the walk's checkpoint table to thin out several times.
  std::vector<std::u16string> entries;
  for (int i = 0; i < 5000; ++i)
    entries.push_back(u"e" + std::u16string(1, u'a' + i % 26) + std::u16string(i % 7, u'x'));
  standin::SetHistory(entries);
  // The walk with its checkpoints and the index of one walk name the same entries.
  Budget budget = StartBudget();
  HistoryView walked = {};
  walked.budget = &budget;
  HistoryView indexed = walked;
  ASSERT_TRUE(IndexHistory(&indexed));
  EXPECT_EQ(indexed.count, 5000u);
  for (int m : {1, 2, 255, 256, 257, 511, 512, 513, 1000, 4095, 4999, 5000, 5001}) {
    char16_t* entry = EntryAtPosition(&walked, -m);
    ASSERT_NE(entry, nullptr) << m;
    const size_t at = m >= 5000 ? 0 : 5000 - m;
    EXPECT_EQ(std::u16string(entry), entries[at]) << m;
    EXPECT_EQ(EntryAtPosition(&indexed, -m), entry) << m;
  }
  for (int64_t position : {5000LL, 5001LL, 2147483648LL, -2147483648LL, 0LL, 1LL}) {
    EXPECT_EQ(EntryAtPosition(&indexed, position), EntryAtPosition(&walked, position)) << position;
  }
  EXPECT_EQ(std::u16string(EntryAtPosition(&walked, 5000)), entries[4999]);
  EXPECT_EQ(EntryAtPosition(&walked, 5001), nullptr);
  EXPECT_EQ(EntryAtPosition(&walked, 2147483648LL), nullptr);
  EXPECT_EQ(std::u16string(EntryAtPosition(&walked, -2147483648LL)), entries[0]);
  EXPECT_FALSE(budget.Spent());
  ReleaseHistoryView(&indexed);
}

TEST(ParseHistoryNumber, StatusValueAndEnd) {
  struct Case {
    const char16_t* text;
    int status;
    int32_t value;
    size_t end;
  } cases[] = {
      {u"16", 0, 16, 2},
      {u"0x10", 0, 16, 4},
      {u"0XfF", 0, 255, 4},
      {u"255", 0, 255, 3},
      {u"0x0x1F", 0, 31, 6},
      {u"0xFFFFFFFF", 0, -1, 10},
      {u"0x80000000", 0, INT32_MIN, 10},
      {u"-2147483648", 0, INT32_MIN, 11},
      {u"0x100000000", ERANGE, 0, 0},
      {u"2147483648", ERANGE, 0, 0},
      {u"-2147483649", ERANGE, 0, 0},
      {u"0xg", 0, 0, 1},
      {u"0x\uFF26", 0, 0, 1},  // a fullwidth F is a hexadecimal digit to Windows, not to a number
      {u"-0x5", 0, 0, 2},
      {u"+3", 0, 3, 2},
      {u"x", -1, 0, 0},
      {u"-", -1, 0, 0},
      {u"", -1, 0, 0},
      {u" 1", -1, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t value = 12345;
    const char16_t* end = nullptr;
    const int status = ParseHistoryNumber(c.text, &value, &end);
    EXPECT_EQ(status, c.status) << Show(c.text);
    if (status == 0) {
      EXPECT_EQ(value, c.value) << Show(c.text);
      EXPECT_EQ(end - c.text, static_cast<long>(c.end)) << Show(c.text);
    } else {
      EXPECT_EQ(value, 12345) << Show(c.text);
    }
  }
}

}  // namespace
