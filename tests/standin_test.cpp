// The Linux stand-ins against what Windows (as Wine shows it) does with the same input, where
// the plugin's output depends on it; and their conversions between UTF-16 and the bytes of POSIX.
#include <unistd.h>

#include <climits>
#include <random>

#include "common/utf.h"
#include "fixture.h"
#include "text/text.h"

namespace {

TEST(StandinCharUpper, MapsOnlyWhatWindowsMaps) {
  struct Case {
    std::u16string text;
    std::u16string upper;
  } cases[] = {
      {u"/a:yes", u"/A:YES"},
      {u"\u00e9t\u00e9", u"\u00c9T\u00c9"},
      {u"stra\u00dfe", u"STRA\u00dfE"},                // sharp s has no one-unit upper case
      {u"\u00ff", u"\u0178"},                          // y with diaeresis leaves Latin-1
      {u"\u2170\u24d0\uff41", u"\u2160\u24b6\uff21"},  // roman numeral, circled, full width
      {u"\u00b5", u"\u00b5"},                          // micro sign, not Greek capital mu
      {u"\u0131", u"\u0131"},                          // dotless i, not I
      {u"\u017f", u"\u017f"},                          // long s, not S
      {u"\u03c2", u"\u03c2"},                          // final sigma
      {u"\u01c5", u"\u01c5"},                          // title-case digraph
      {u"\u03d0\u03f5", u"\u03d0\u03f5"},              // Greek symbol variants
      {u"\u1c80", u"\u1c80"},                          // Cyrillic variant letter
  };
  for (const Case& c : cases) {
    std::u16string text = c.text;
    win::CharUpperW(&text[0]);
    EXPECT_EQ(text, c.upper) << Show(c.text);
  }
}

std::u16string TrueName(const std::u16string& name) {
  std::u16string out(kTrueNameCapacity, u'\0');
  QueryTrueName(name.c_str(), &out[0]);
  return out.c_str();
}

TEST(StandinQueryTrueName, ResolvesLikeGetFullPathName) {
  struct Case {
    std::u16string name;
    std::u16string full;
  } cases[] = {
      {u"/a/b/c.wav", u"/a/b/c.wav"},
      {u"/a/./b//c.wav", u"/a/b/c.wav"},
      {u"/a/x/../b/c.wav", u"/a/b/c.wav"},
      {u"/../../c.wav", u"/c.wav"},
      {u"/a/b/", u"/a/b/"},
      {u"/a/b/.", u"/a/b"},
      {u"/a/b/..", u"/a"},
      {u"/", u"/"},
  };
  for (const Case& c : cases) EXPECT_EQ(TrueName(c.name), c.full) << Show(c.name);
}

TEST(StandinQueryTrueName, RelativeNamesAgainstTheCurrentDirectory) {
  char saved[PATH_MAX];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir("/tmp"), 0);
  EXPECT_EQ(TrueName(u"x.wav"), u"/tmp/x.wav");
  EXPECT_EQ(TrueName(u"./a/../x.wav"), u"/tmp/x.wav");
  EXPECT_EQ(TrueName(u"../x.wav"), u"/x.wav");
  ASSERT_EQ(chdir(saved), 0);

  std::u16string untouched(kTrueNameCapacity, u'\0');
  untouched[0] = u'k';
  EXPECT_EQ(QueryTrueName(u"", &untouched[0]), 1);
  EXPECT_EQ(untouched[0], u'k');
}

class StandinFileAttributes : public PluginTest {};

TEST_F(StandinFileAttributes, AsWindowsReportsThem) {
  EXPECT_EQ(win::GetFileAttributesW(MakeFile(u"x.wav").c_str()), 0x20u);  // archive
  EXPECT_EQ(win::GetFileAttributesW(MakeDir(u"d.wav").c_str()), 0x10u);   // directory
  EXPECT_EQ(win::GetFileAttributesW((TempDir() + u"/none.wav").c_str()), 0xFFFFFFFFu);
  EXPECT_EQ(win::GetFileAttributesW(u""), 0xFFFFFFFFu);
}

// Bytes -> UTF-16: each well-formed sequence is its character, every other byte the lone unit
// 0xDC00 + byte; back to bytes, each unit gives the bytes it came from.
TEST(StandinUtf, BytesThroughUtf16AndBack) {
  struct Case {
    std::string bytes;
    std::u16string units;
    bool wellFormed;
  } cases[] = {
      {"", u"", true},
      {"a\x7f", u"a\x7f", true},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3), true},  // a NUL is a unit as any
      {"\xc2\x80\xdf\xbf", u"\u0080\u07ff", true},                 // 2 bytes, first and last
      {"\xe0\xa0\x80\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbf", u"\u0800\ud7ff\ue000\uffff", true},
      {"\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", u"\U00010000\U0010ffff", true},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", u"caf\u00e9 \u20ac \U0001f600", true},
      // Bytes that begin nothing: continuation bytes alone, C0, C1, F5 to FF.
      {"caf\xe9", u"caf\xdce9", false},
      {"\x80\xbf", u"\xdc80\xdcbf", false},
      {"\xc0\xc1\xf5\xfe\xff", u"\xdcc0\xdcc1\xdcf5\xdcfe\xdcff", false},
      // Overlong forms, one escape per byte.
      {"\xc0\x80", u"\xdcc0\xdc80", false},
      {"\xc1\xbf", u"\xdcc1\xdcbf", false},
      {"\xe0\x80\xaf", u"\xdce0\xdc80\xdcaf", false},
      {"\xe0\x9f\xbf", u"\xdce0\xdc9f\xdcbf", false},
      {"\xf0\x8f\xbf\xbf", u"\xdcf0\xdc8f\xdcbf\xdcbf", false},
      // Encoded surrogates (alone, and a pair as CESU-8 writes it) and beyond U+10FFFF.
      {"\xed\xa0\x80", u"\xdced\xdca0\xdc80", false},
      {"\xed\xbf\xbf", u"\xdced\xdcbf\xdcbf", false},
      {"\xed\xa0\xbd\xed\xb8\x80", u"\xdced\xdca0\xdcbd\xdced\xdcb8\xdc80", false},
      {"\xf4\x90\x80\x80", u"\xdcf4\xdc90\xdc80\xdc80", false},
      // Sequences cut short by the end, by ASCII, or by the lead byte of the next character.
      {"\xc3", u"\xdcc3", false},
      {"\xe2\x82", u"\xdce2\xdc82", false},
      {"\xf0\x9f\x98!", u"\xdcf0\xdc9f\xdc98!", false},
      {"\xe2(\xa1", u"\xdce2(\xdca1", false},
      {"\xf0\xe2\x82\xac\xc3\xc3\xa9", u"\xdcf0\u20ac\xdcc3\u00e9", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(standin::FromUtf8(c.bytes), c.units) << Show(c.units);
    EXPECT_EQ(standin::ToUtf8(c.units), c.bytes) << Show(c.units);
    EXPECT_EQ(standin::IsUtf8(c.bytes), c.wellFormed) << Show(c.units);
  }
}

// UTF-16 that no byte string decodes to: lone surrogates that stand for no byte, and escapes
// side by side that spell a character.
TEST(StandinUtf, LoneSurrogatesThatAreNoByte) {
  struct Case {
    std::u16string units;
    std::string bytes;
  } cases[] = {
      {u"\xd800", "\xef\xbf\xbd"},
      {u"a\xdbff", "a\xef\xbf\xbd"},
      {u"\xdc00\xdc7f", "\xef\xbf\xbd\xef\xbf\xbd"},
      {u"\xd83dx\xde00", "\xef\xbf\xbdx\xef\xbf\xbd"},  // the halves of a pair, apart
      {u"\xde00\xd83d", "\xef\xbf\xbd\xef\xbf\xbd"},    // and in the wrong order
      {u"\xd83d\xdc80", "\xf0\x9f\x92\x80"},  // a pair, its low half also the escape of 0x80
      {u"\xd800\xdce9", "\xf0\x90\x83\xa9"},
      {u"\xdcc3\xdca9", "\xc3\xa9"},  // two escapes that spell e-acute
  };
  for (const Case& c : cases) EXPECT_EQ(standin::ToUtf8(c.units), c.bytes) << Show(c.units);
}

// Any byte string comes back unchanged, and is well-formed exactly when it needs no escape.
TEST(StandinUtf, RandomBytesComeBackUnchanged) {
  // Pieces of characters as well as single bytes, so that near misses are common.
  const std::string pieces[] = {"a",    "\xc3", "\xa9", "\xe2",     "\x82",
                                "\xac", "\xf0", "\x9f", "\x98",     "\x80",
                                "\xed", "\xa0", "\xf4", "\x8f",     "\xc0",
                                "\xe0", "\xbf", "\xff", "\xc3\xa9", "\xf0\x9f\x98\x80"};
  std::mt19937 random(20250325);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    const size_t length = random() % 12;
    for (size_t i = 0; i < length; ++i) {
      if (random() % 2 == 0) {
        bytes += static_cast<char>(random() % 256);
      } else {
        bytes += pieces[random() % (sizeof pieces / sizeof pieces[0])];
      }
    }
    const std::u16string units = standin::FromUtf8(bytes);
    ASSERT_EQ(standin::ToUtf8(units), bytes) << Show(units);
    bool escaped = false;  // a lone low surrogate: the low half of a pair may be 0xDC80 on
    for (size_t i = 0; i < units.size(); i += text::CharUnits(units.c_str() + i)) {
      escaped = escaped || (units[i] >= 0xdc80 && units[i] <= 0xdcff);
    }
    ASSERT_EQ(standin::IsUtf8(bytes), !escaped) << Show(units);
  }
}

}  // namespace
