// The table of character classes that builds without Windows read, against the system's own:
// a table made on an older system, or edited by hand, fails here.
#include <gtest/gtest.h>

#include <cstdio>

#include "text/text.h"

TEST(CharClass, TableAgreesWithWindowsOnEveryUnit) {
  constexpr unsigned kShown = 10;  // units printed; the count says how many more differ
  unsigned differing = 0;
  for (unsigned c = 0; c <= 0xFFFF; ++c) {
    const unsigned table = text::TableClassOf(static_cast<char16_t>(c));
    const unsigned windows = text::PlatformClassOf(static_cast<char16_t>(c));
    if (table == windows || ++differing > kShown) continue;
    char unit[16];
    snprintf(unit, sizeof unit, "unit 0x%04X", c);
    EXPECT_EQ(table, windows) << unit;
  }
  EXPECT_EQ(differing, 0u);
}
