// The number parser and the walks of the history underneath the references (the references
// themselves, on Enter: tests/cases/references.cpp).
#include <cerrno>

#include "expansion/events.h"
#include "expansion/history_view.h"
#include "fixture.h"

namespace {

class HistoryWalk : public PluginTest {};

TEST_F(HistoryWalk, NegativeNumbersReachEveryEntryOfALongHistory) {
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
