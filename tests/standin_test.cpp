// The Linux stand-ins against what Windows (as Wine shows it) does with the same input, where
// the plugin's output depends on it.
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

}  // namespace
