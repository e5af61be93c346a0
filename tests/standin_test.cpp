// The Linux stand-ins against what Windows (as Wine shows it) does with the same input, where
// the plugin's output depends on it.
#include <unistd.h>

#include <climits>

#include "fixture.h"

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

}  // namespace
