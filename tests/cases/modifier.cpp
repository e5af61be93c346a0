// The :s modifier after a reference on Enter, and the longest line the shell's buffer holds.
#include "cases.h"

namespace {

using cases::kFails;

// A line typed after `entry` and what Enter makes of it. The history is "ls /usr/bin" and then
// `entry`, so that !! names the entry and !-2 the line before it.
struct Substitution {
  std::u16string entry;
  std::u16string line;
  std::u16string made;  // kFails: the expansion fails
};

void CheckSubstitutions(const std::vector<Substitution>& rows) {
  for (const Substitution& row : rows) {
    SCOPED_TRACE("after " + ShowBrief(row.entry));
    host::SetHistory({u"ls /usr/bin", row.entry});
    cases::CheckEnter({{row.line, row.made}});
  }
}

class Modifier : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::StartOn(u"23");
  }
};

// Each modifier applies in turn to the result of the one before and must find its old text.
TEST_F(Modifier, SubstitutesTheFirstOccurrence) {
  CheckSubstitutions({
      {u"cat a", u"!!:s/a/b/", u"cbt a"},
      {u"cat a", u"!!:s/a/b", u"cbt a"},
      {u"cat a", u"!!:s/a/", u"ct a"},
      {u"cat a", u"!!:s/a//", u"ct a"},
      {u"cat a", u"!!:s:a:b:", u"cbt a"},
      {u"cat a", u"!!:s/cat/x/", u"x a"},
      {u"cat a", u"!!:s/a/b/:s/c/d/", u"dbt a"},
      {u"cat a", u"!!:s/a/b/:s/b/c/", u"cct a"},
      {u"cat a", u"!!:s/a/b/:s/a/c", u"cbt c"},
      {u"cat a", u"!!:s/zz/y/", kFails},
      {u"ab", u"!!:s/a/x/", u"xb"},
      {u"ab", u"!!s/a//", kFails},  // not a modifier
      {u"ab", u"!!:s/a//", u"b"},
      {u"cd foo", u"!!:s/cd/xy/", u"xy foo"},
      {u"ls /usr/bin", u"!!:s|/usr|/opt|", u"ls /opt/bin"},
      {u"dir", u"!-2:s|/usr|/opt|", u"ls /opt/bin"},
      {u"dir", u"!ls:s#bin#sbin#", u"ls /usr/sbin"},
      {u"a c a c", u"!!:s/a/b/:s/c/d/", u"b d a c"},
      {u"aaa", u"!!:s/a/aa/", u"aaaa"},
      {u"tail", u"!!:s/il/ke/", u"take"},
      {u"echo deploy prod", u"!!:s/Prod/test/", kFails},
      {u"cat x", u"!!:s/dog/cow/", kFails},
      {u"cat x", u"!!:s/c/d/:s/dog/cow/", kFails},
      {u"cat x", u"!!:s/dog/cow/:s/c/d/", kFails},
      {u"cat x", u"!!:s/c/d/:s/a/b/x", kFails},
  });
}

TEST_F(Modifier, MalformedModifiersFail) {
  CheckSubstitutions({
      {u"cat a", u"!!:S/a/b/", kFails},
      {u"cat a", u"!!:g/a/b/", kFails},
      {u"cat a", u"!!:", kFails},
      {u"cat a", u"!!:s", kFails},
      {u"cat a", u"!!:sXaXbX", kFails},
      {u"cat a", u"!!:s/a", kFails},
      {u"cat a", u"!!:s//b/", kFails},
      {u"cat a", u"!!:s/a/b/ ", kFails},
      {u"cat a", u"!!:s/a/b/x", kFails},
      {u"cat a", u"!!:s/a/b:s/c/d/", kFails},
      {u"echo foo", u"!!:s\u20ACo\u20AC0\u20AC", kFails},  // the euro sign is no punctuation
  });
}

TEST_F(Modifier, OldTextOf1023UnitsAndNoMore) {
  const std::u16string old1023(1023, u'o');
  CheckSubstitutions({
      {u"x" + old1023 + u"y", u"!!:s/" + old1023 + u"/n/", u"xny"},
      {u"x" + old1023 + u"y", u"!!:s/" + old1023 + u"o/n/", kFails},
  });
}

// Case-insensitive, the old text is found by the shell's _stristr.
TEST_F(Modifier, CaseInsensitiveUsesTheShellsSearch) {
  CheckSubstitutions({{u"cat x", u"!!:s/CAT/dog/", kFails}});
  host::Set(u"/I1");
  CheckSubstitutions({
      {u"cat x", u"!!:s/CAT/dog/", u"dog x"},
      {u"x CaT cat", u"!!:s/cat/dog/", u"x dog cat"},
  });
}

// A line of 65535 units fills the shell's buffer; one longer is never run cut short.
TEST_F(Modifier, TheLongestLineFillsTheShellsBufferExactly) {
  const std::u16string almost = std::u16string(65530, u'a') + u"b";
  const std::u16string entry = u"a" + std::u16string(65533, u'z');  // 65534 units
  CheckSubstitutions({
      {std::u16string(65535, u'a'), u"!!", std::u16string(65535, u'a')},
      {almost, u"!!:s/b/bbbbb/", std::u16string(65530, u'a') + u"bbbbb"},
      {almost, u"!!:s/b/bbbbbb/", kFails},  // 65536 units would not fit
      {entry, u"!!:s/a/bc/", u"bc" + entry.substr(1)},
      {entry, u"!!:s/a/bcd/", kFails},
      {entry + u"zz", u"!!", kFails},  // an entry of 65536 units
      {std::u16string(70000, u'c'), u"!!", kFails},
  });
}

}  // namespace
