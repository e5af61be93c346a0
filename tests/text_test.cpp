// Character classes, bounded copies and the 32-bit conversions of the shared text helpers.
#include "text/text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "fixture.h"

namespace {

struct ClassCase {
  char16_t unit;
  unsigned classes;
};

TEST(CharClass, Latin1UnitsFollowTheWindowsDefaultLocale) {
  using namespace text;
  const ClassCase cases[] = {
      {u'a', kAlpha | kXDigit},
      {u'Z', kAlpha},
      {u'g', kAlpha},
      {u'5', kDigit | kXDigit},
      {u' ', kSpace},
      {u'\t', kSpace},
      {0x0D, kSpace},
      {0xA0, kSpace},
      {0x08, 0},
      {u'!', kPunct},
      {u'_', kPunct},
      {u'~', kPunct},
      {0x7F, 0},
      {0xA1, kPunct},
      {0xB2, kDigit | kPunct},
      {0xB3, kDigit | kPunct},
      {0xB9, kDigit | kPunct},
      {0xBF, kPunct},
      {0xC0, kAlpha},
      {0xD7, kPunct},
      {0xF7, kPunct},
      {0xFF, kAlpha},
      {0xDF, kAlpha},
      {0, 0},
      {0xFFFF, 0},
  };
  for (const ClassCase& c : cases) {
    EXPECT_EQ(ClassOf(c.unit), c.classes) << "unit " << std::hex << unsigned(c.unit);
  }
}

// What Windows answers, which the C library of another system may not: the same classes in
// every build. The pairs stand on either side of a run's or a block's edge.
TEST(CharClass, UnitsFrom256TakeTheClassesOfWindows) {
  using namespace text;
  const ClassCase cases[] = {
      {0x0100, kAlpha},
      {0x0300, 0},  // a combining accent is no letter
      {0x0416, kAlpha},
      {0x0660, kDigit},  // Arabic-Indic digits are digits, not letters
      {0x0669, kDigit},
      {0x066A, kPunct},
      {0x06FF, kAlpha},
      {0x0700, kPunct},
      {0x1680, kSpace},
      {0x180E, 0},
      {0x2000, kSpace},
      {0x2003, kSpace},
      {0x2007, kSpace},  // the no-break spaces too, as 0xA0
      {0x200A, kSpace},
      {0x200B, 0},
      {0x2014, kPunct},
      {0x2028, kSpace},
      {0x202F, kSpace},
      {0x20AC, 0},  // no currency or mathematical sign is punctuation
      {0x2212, 0},
      {0x3000, kSpace},
      {0x4DFF, 0},
      {0x4E00, kAlpha},
      {0x4EFF, kAlpha},
      {0x4F00, kAlpha},
      {0xD7FF, 0},
      {0xD800, 0},  // a lone surrogate belongs to no class
      {0xDBFF, 0},
      {0xDC00, 0},
      {0xDFFF, 0},
      {0xE000, 0},
      {0xFEFF, 0},
      {0xFF04, 0},
      {0xFF10, kDigit | kXDigit},  // fullwidth digits and A-F
      {0xFF19, kDigit | kXDigit},
      {0xFF1A, kPunct},
      {0xFF26, kAlpha | kXDigit},
      {0xFF27, kAlpha},
      {0xFF46, kAlpha | kXDigit},
      {0xFFDC, kAlpha},
      {0xFFDD, 0},
      {0xFFFE, 0},
  };
  for (const ClassCase& c : cases) {
    EXPECT_EQ(ClassOf(c.unit), c.classes) << "unit " << std::hex << unsigned(c.unit);
  }
}

TEST(BoundedCopy, ExactFitOneOverAndEmpty) {
  char16_t buffer[6];
  const char16_t canary = 0xBEEF;
  buffer[5] = canary;
  EXPECT_TRUE(text::Copy(buffer, 5, u"abcd"));
  EXPECT_EQ(std::u16string(buffer), u"abcd");
  EXPECT_FALSE(text::Copy(buffer, 5, u"abcde"));
  EXPECT_EQ(std::u16string(buffer), u"abcd");
  EXPECT_EQ(buffer[5], canary);
  EXPECT_TRUE(text::Copy(buffer, 5, u""));
  EXPECT_EQ(buffer[0], 0);

  EXPECT_TRUE(text::Copy(buffer, 5, u"ab"));
  EXPECT_TRUE(text::Append(buffer, 5, u"cd"));
  EXPECT_FALSE(text::Append(buffer, 5, u"e"));
  EXPECT_EQ(std::u16string(buffer), u"abcd");
  EXPECT_EQ(buffer[5], canary);

  EXPECT_TRUE(text::CopyN(buffer, 5, u"xyzzy", 3));
  EXPECT_EQ(std::u16string(buffer), u"xyz");
  EXPECT_FALSE(text::CopyN(buffer, 3, u"xyzzy", 4));
  EXPECT_EQ(std::u16string(buffer), u"xy");
  EXPECT_EQ(buffer[5], canary);
}

struct ConversionCase {
  const char16_t* text;
  int base;
  int64_t value;  // as returned, widened
  size_t end;     // offset of the end position
  bool range;     // errno set to ERANGE
};

TEST(Conversion, UnsignedBehavesAsWcstoulWith32BitLong) {
  const ConversionCase cases[] = {
      {u"0", 10, 0, 1, false},
      {u"4294967295", 10, 4294967295, 10, false},
      {u"4294967296", 10, 4294967295, 10, true},
      {u"99999999999999999999", 10, 4294967295, 20, true},
      {u"-1", 10, 4294967295, 2, false},
      {u"-4294967295", 10, 1, 11, false},
      {u"-4294967296", 10, 4294967295, 11, true},
      {u"  +42abc", 10, 42, 5, false},
      {u"\t33.02", 10, 33, 3, false},
      {u"", 10, 0, 0, false},
      {u"-", 10, 0, 0, false},
      {u"abc", 10, 0, 0, false},
      {u"ff", 16, 255, 2, false},
      {u"0x1F", 16, 31, 4, false},
      {u"0X0x1F", 16, 0, 3, false},
      {u"0xg", 16, 0, 1, false},
      {u"FFFFFFFF", 16, 4294967295, 8, false},
      {u"100000000", 16, 4294967295, 9, true},
      {u"17", 8, 15, 2, false},
      {u"18", 8, 1, 1, false},
  };
  for (const ConversionCase& c : cases) {
    errno = 0;
    const char16_t* end = nullptr;
    const uint32_t value = text::ToUnsigned32(c.text, &end, c.base);
    EXPECT_EQ(value, c.value) << Show(c.text);
    EXPECT_EQ(end - c.text, static_cast<long>(c.end)) << Show(c.text);
    EXPECT_EQ(errno == ERANGE, c.range) << Show(c.text);
  }
}

TEST(Conversion, SignedBehavesAsWcstolWith32BitLong) {
  const ConversionCase cases[] = {
      {u"2147483647", 10, 2147483647, 10, false},
      {u"2147483648", 10, 2147483647, 10, true},
      {u"-2147483648", 10, -2147483648LL, 11, false},
      {u"-2147483649", 10, -2147483648LL, 11, true},
      {u"+3x", 10, 3, 2, false},
      {u"-0", 10, 0, 2, false},
      {u"12abc", 10, 12, 2, false},
      {u"x", 10, 0, 0, false},
  };
  for (const ConversionCase& c : cases) {
    errno = 0;
    const char16_t* end = nullptr;
    const int32_t value = text::ToSigned32(c.text, &end, c.base);
    EXPECT_EQ(value, c.value) << Show(c.text);
    EXPECT_EQ(end - c.text, static_cast<long>(c.end)) << Show(c.text);
    EXPECT_EQ(errno == ERANGE, c.range) << Show(c.text);
  }
}

TEST(Compare, EqualsFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(text::EqualsIgnoreAsciiCase(u"Shift-Enter", u"SHIFT-ENTER"));
  EXPECT_FALSE(text::EqualsIgnoreAsciiCase(u"\u00E9", u"\u00C9"));
  EXPECT_FALSE(text::EqualsIgnoreAsciiCase(u"Enter", u"Enter2"));
}

}  // namespace
