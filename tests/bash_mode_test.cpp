// Bash mode's engine (ExpandLine with bash's rules) where bash cannot judge it: the shell's quotes
// and escape character, Quorvin's numbering and searches inside a line, :p, the line's length limit
// and what a line may reuse; then a compact table of bash's grammar and of the word splitter.
#include <cstdlib>

#include "expansion/budget.h"
#include "expansion/history_view.h"
#include "expansion/modifiers.h"
#include "expansion/scanner.h"
#include "expansion/words.h"
#include "fixture.h"
#include "text/search.h"
#include "text/text.h"
#include "text/work.h"

namespace {

const std::vector<std::u16string> kHistory = {
    u"cd /tmp/work.dir",                   // 1 (with /Z1), 0 by default
    u"cp a.txt \"b c.txt\" `d e` >log",    // 2
    u"Echo one two three",                 // 3
    u"make -j4 all && make install 2>&1",  // 4, the newest
};

// One line and what bash mode makes of it: kFail for a failure, kAsTyped for no reference.
struct Row {
  std::u16string line;
  std::u16string expected;
};
const std::u16string kFail = u"<fails>";
const std::u16string kAsTyped = u"<as typed>";

// Expands `line` over `history` (kHistory when not given); what came of it, in the notation of
// Row.
std::u16string Expand(const std::u16string& line, bool* printOnly = nullptr,
                      const std::vector<std::u16string>& history = kHistory) {
  standin::SetHistory(history);
  LineExpansion x = ExpandLine(kBashDialect, line.c_str());
  if (printOnly != nullptr) *printOnly = x.printOnly;
  std::u16string text = x.outcome == kLineFailed ? kFail : kAsTyped;
  if (x.outcome == kLineExpanded) text = x.text;
  if (x.outcome == kLineNoReference) {
    EXPECT_EQ(x.block, nullptr) << Show(line);  // nothing was allocated
  }
  ReleaseExpansion(&x);
  return text;
}

void ExpectRows(const std::vector<Row>& rows,
                const std::vector<std::u16string>& history = kHistory) {
  for (const Row& row : rows) {
    EXPECT_EQ(Show(Expand(row.line, nullptr, history)), Show(row.expected))
        << "line: " << Show(row.line);
  }
}

class BashMode : public PluginTest {};

// The shell's case-blind search as a simple one (every place in turn, compared from the word's
// first unit until a unit differs), counting the units it compares.
uint64_t shellCompares = 0;
char16_t* CountingStristr(const char16_t* text, const char16_t* find) {
  const size_t length = text::Length(find);
  for (const char16_t* p = text; *p != 0; ++p) {
    size_t i = 0;
    while (i < length && p[i] != 0 && text::FoldForSearch(p[i]) == text::FoldForSearch(find[i])) {
      ++i;
    }
    shellCompares += i < length ? i + 1 : length;
    if (i == length) return const_cast<char16_t*>(p);
  }
  return nullptr;
}

TEST_F(BashMode, QuotesEscapesAndBangsThatAreNoReference) {
  ExpectRows({
      {u"echo \"hello!\" `a !! b`", kAsTyped},
      {u"echo \"!!\" !$", u"echo \"!!\" 2>&1"},
      {u"echo \"open !!", kAsTyped},  // an open quote runs to the end
      {u"echo ^!! ^^!!", u"echo ^!! ^^make -j4 all && make install 2>&1"},
      {u"echo ^\"!$\"", u"echo ^\"2>&1\""},  // an escaped quote opens nothing
      {u"x ! y !\tz !=a !(b) c!", kAsTyped},
      {u"it's !$", u"it's 2>&1"},  // a single quote is ordinary
      {u"a\\!$", u"a\\2>&1"},      // so is a backslash: the bang after it is a reference
      {u"$!x", kFail},             // a '$' that begins the line: !x finds nothing
      {u"^make^gmake^ \"!!\"", u"gmake -j4 all && make install 2>&1 \"!!\""},
      // What the shell needs a '!' for: wildcards, ${!name} and $!, on every line.
      {u"del *[!0-9].bak", kAsTyped},
      {u"del !$ *[!a-z].tmp", u"del 2>&1 *[!a-z].tmp"},
      {u"ls [!1]* x[!nosuch", kFail},  // no ']' after the second: a reference
      {u"echo $!! ${!a} !$", u"echo $!! ${!a} 2>&1"},
      {u"x ${!a !!:0", kFail},                                       // no '}' later: a reference
      {u"x !!:s/2>&1/$/!!", u"x make -j4 all && make install $!!"},  // the new line ends in '$'
      {u"echo !${!^}", u"echo 2>&1{-j4}"},  // the '$' of "!$" is no shell's "${"
      {u"x !!:0[!a]", u"x make[!a]"},
  });
  ExpectRows({{u"^ab^$^!!", u"$ab"}}, {u"ab"});
}

TEST_F(BashMode, QuorvinNumberingInsideTheLine) {
  ExpectRows({
      {u"x !0 !3:0 !-1:$", u"x cd /tmp/work.dir make 2>&1"},  // counted from 0 by default
      {u"x !+1:^ !0x2:0", u"x a.txt Echo"},
      {u"x !-99:0", u"x cd"},  // past the oldest: the oldest
      {u"x !4", kFail},
      {u"x !-0", kFail},  // no entry, whatever the counting base
  });
  PluginSettings.countingBase = 1;
  ExpectRows({{u"x !1:0 !4:0 !0", kFail}, {u"x !1:0 !4:0", u"x cd make"}, {u"x !-0", kFail}});
  // Bash's rules read a search text whole, however long.
  const std::u16string a(1500, u'a');
  ExpectRows({{u"x !" + a, u"x " + a + u"b"}, {u"x !?" + a + u"c", kFail}}, {a + u"b"});
}

TEST_F(BashMode, CaseInsensitiveSearches) {
  ExpectRows({{u"!ech:1", kFail}, {u"!?TWO?:0", kFail}});
  PluginSettings.caseInsensitive = 1;
  ExpectRows({
      {u"!ech:1", u"one"},
      {u"!?TWO?:0 !?ONE?%", u"Echo one"},
      {u"!2:s/ONE/1/:gs/T/X/", u"Echo 1 Xwo Xhree"},
  });
  // Half of a surrogate pair matches no entry, with either setting of case.
  for (const int foldCase : {0, 1}) {
    PluginSettings.caseInsensitive = foldCase;
    ExpectRows(
        {{u"x !?\xDE00?", kFail}, {u"x !?\xD83D", kFail}, {u"x !?\U0001F600?", u"x e \U0001F600"}},
        {u"e \U0001F600"});
  }
}

TEST_F(BashMode, PrintOnly) {
  bool printOnly = true;
  EXPECT_EQ(Show(Expand(u"x !!:0", &printOnly)), "x make");
  EXPECT_FALSE(printOnly);
  EXPECT_EQ(Show(Expand(u"x !!:0:p !1", &printOnly)), "x make cp a.txt \"b c.txt\" `d e` >log");
  EXPECT_TRUE(printOnly);
  EXPECT_EQ(Show(Expand(u"^make^gmake^:p", &printOnly)), "gmake -j4 all && make install 2>&1");
  EXPECT_TRUE(printOnly);
}

TEST_F(BashMode, LineOfAtMost65535Units) {
  const std::u16string entry = kHistory.back();  // 33 units
  const size_t room = kLineCapacity - 1 - entry.size();
  EXPECT_EQ(Expand(std::u16string(room, u'x') + u"!!"), std::u16string(room, u'x') + entry);
  EXPECT_EQ(Expand(std::u16string(room + 1, u'x') + u"!!"), kFail);
  // A substitution that would make the line too long fails too.
  const std::u16string grow = u"!!:gs/a/" + std::u16string(20000, u'y') + u"/";
  EXPECT_EQ(Expand(grow), kFail);
}

// One expansion may count a fixed share of work for each unit of the history it walks and of the
// line's capacity. Lines a person could type expand, as bash expands them; the same lines built
// longer fail, however long they would take; and on every line the work done (counted in the
// loops themselves) stays within a small multiple of what was counted against the budget.
TEST_F(BashMode, TheBudgetStopsALineBuiltToExceedIt) {
  auto repeat = [](const std::u16string& text, int times) {
    std::u16string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
  };
  const std::u16string entry(60000, u'a');
  const std::u16string words = u"cp " + repeat(u"src/dir/file.txt ", 3529);  // 60 000 units
  // 100 000 entries; the 32 oldest the only ones that hold "find0" ... "find31".
  std::vector<std::u16string> many;
  std::u16string searches, found;
  for (int i = 0; i < 100000; ++i) {
    many.push_back(i < 32 ? u"echo find" + std::u16string(1, u'A' + i) + u"z"
                          : u"make -j4 all && ls " + std::u16string(i % 40, u'x'));
  }
  for (int i = 0; i < 32; ++i) {
    searches += u" !?find" + std::u16string(1, u'A' + i) + u"z?";
    found += u" " + many[i];
  }
  std::u16string tooMany;  // distinct searches beyond the reach of one pass, each its own walk
  for (int i = 0; i < 120; ++i) tooMany += u" !?" + std::u16string(6, u'A' + i % 26) + u"?";
  // Two searches of 256 distinct units beyond ASCII, 903 apart in one block of 1024 (so that a
  // table that places a unit by its value crowds them side by side), over entries of a unit of
  // the next block: the one pass reads each unit at the same cost whatever the units are.
  std::u16string crowdA, crowdB;
  for (size_t k = 0; k < 512; ++k) (k < 256 ? crowdA : crowdB) += char16_t(0x4C00 + k * 903 % 1024);
  std::vector<std::u16string> crowded = {u"echo " + crowdA + u" " + crowdB};
  for (int i = 0; i < 200; ++i) crowded.push_back(std::u16string(60, u'\x5000'));
  // 512 distinct prefix searches that fill half of the table of a line's searches side by side
  // (placed as the table places them: FNV-1a of the kind and the units, over its slots), then
  // 3 000 of one search of another length that the table places where that run begins: each
  // steps over the whole run, and the steps count.
  auto slotOf = [](const std::u16string& text) {
    uint64_t h = 14695981039346656037ull ^ kBeginsWith;
    for (char16_t c : text) h = (h ^ c) * 1099511628211ull;
    return static_cast<size_t>(h % kSearchSlots);
  };
  std::vector<std::u16string> slotted(kSearchSlots / 2);
  std::u16string probe;
  for (char16_t a = u'a'; a <= u'z'; ++a) {
    for (char16_t b = u'a'; b <= u'z'; ++b) {
      for (char16_t c = u'a'; c <= u'z'; ++c) {
        const std::u16string text = {a, b, c};
        if (slotOf(text) < slotted.size() && slotted[slotOf(text)].empty()) {
          slotted[slotOf(text)] = text;
        }
        if (probe.empty() && slotOf(text + u"q") == 0) probe = text + u"q";
      }
    }
  }
  std::u16string slottedLine = u"x", slottedFound;
  for (const std::u16string& text : slotted) {
    ASSERT_FALSE(text.empty());
    slottedLine += u" !" + text;
    slottedFound += u" " + text;
  }
  slottedLine += repeat(u" !" + probe, 3000);
  slottedFound += repeat(u" " + probe, 3000);
  slotted.push_back(probe);
  // 512 searches of one unit each, each found only in one of the 512 oldest entries, behind
  // 20 000 entries of one unit: the one pass looks at each open search only as it goes.
  std::vector<std::u16string> tiny;
  std::u16string tinyLine = u"x", tinyFound;
  for (size_t k = 0; k < 512; ++k) {
    tiny.push_back(std::u16string(1, char16_t(0x4E00 + k)));
    tinyLine += u" !?" + tiny.back() + u"?";
    tinyFound += u" " + tiny.back();
  }
  tiny.resize(tiny.size() + 20000, u"x");
  const std::vector<std::u16string> wordy = {words, u"echo " + words};
  // 100 long entries before `entry`: the default rules step over them to reach !100.
  std::vector<std::u16string> walked(100, std::u16string(60000, u'b'));
  walked.push_back(entry);
  const std::u16string gs8 = repeat(u":gs/a/b/:gs/B/a/", 4);
  const struct {
    const std::vector<std::u16string>* history;
    std::u16string line;
    bool foldCase;
    const char16_t* expanded;  // null: the line fails
  } rows[] = {
      {nullptr, u"x !!:gs/a/a/" + repeat(u":g&", 3), false, u"x"},
      {nullptr, u"x !!:gs/a/a/" + repeat(u":g&", 40), false, nullptr},
      {nullptr, u"!!" + repeat(u":s/a/a/", 5), false, u""},
      {nullptr, u"!!" + repeat(u":s/a/a/", 60), false, nullptr},
      {nullptr, u"x" + repeat(u" !!:s/a/b/", 40), false, nullptr},
      {nullptr, u"x !!" + gs8, true, u"x"},
      {nullptr, u"x !!" + repeat(u":gs/a/b/:gs/B/a/", 20), true, nullptr},
      {nullptr, u"x !!" + repeat(u":gs/a/b/:gs/b/a/", 4), false, u"x"},
      {&wordy, u"x" + repeat(u" !$", 30), false, u"x"},
      {&wordy, u"x" + repeat(u" !-1:$ !-2:$", 200), false, nullptr},
      {&many, u"x" + searches, false, u"x"},
      {&many, u"x" + searches, true, u"x"},
      {&many, u"x" + tooMany, false, nullptr},
      {&walked, u"!100", false, u""},
      {&walked, u"x !100", false, u"x"},
      {&crowded, u"x !?" + crowdA + u"? !?" + crowdB + u"?", false, u"x"},
      {&crowded, u"x !?" + crowdA + u"? !?" + crowdB + u"?", true, u"x"},
      {&slotted, slottedLine, false, nullptr},
      {&tiny, tinyLine, false, u"x"},
  };
  for (const auto& row : rows) {
    standin::SetHistory(row.history != nullptr ? *row.history : std::vector<std::u16string>{entry});
    PluginSettings.caseInsensitive = row.foldCase ? 1 : 0;
    work::done = work::charged = 0;
    LineExpansion x = row.line[0] == u'!' ? ExpandLine(kDefaultDialect, row.line.c_str())
                                          : ExpandLine(kBashDialect, row.line.c_str());
    const std::string what = Show(row.line.substr(0, 40)) + (row.foldCase ? " /I1" : "");
    EXPECT_EQ(x.outcome, row.expanded != nullptr ? kLineExpanded : kLineFailed) << what;
    if (x.outcome == kLineExpanded && row.expanded != nullptr) {
      const std::u16string rest = row.history == &many      ? found
                                  : row.history == &wordy   ? repeat(u" src/dir/file.txt", 30)
                                  : row.history == &crowded ? repeat(u" " + crowded[0], 2)
                                  : row.history == &tiny    ? tinyFound
                                                            : u" " + entry;
      EXPECT_EQ(std::u16string(x.text), row.expanded + (*row.expanded ? rest : entry)) << what;
    }
    EXPECT_LE(work::done, 4 * work::charged + 4 * kLineCapacity) << what;
    ReleaseExpansion(&x);
  }
  PluginSettings.caseInsensitive = 0;
  // Once spent, a budget stays spent: a step of no units after it fails too, so no piece of the
  // line made after the count ran out can pass for done.
  Budget budget{10};
  EXPECT_TRUE(budget.Spend(10));
  EXPECT_FALSE(budget.Spent());
  EXPECT_FALSE(budget.Spend(1));
  EXPECT_FALSE(budget.Spend(0));
  EXPECT_TRUE(budget.Spent());
  // A search counts what it read up to the occurrence it found, with either setting of case:
  // a :gs over an entry of 1 500 occurrences is far within the budget of a short history.
  standin::SetHistory({repeat(u"a ", 1500)});
  for (const int foldCase : {0, 1}) {
    PluginSettings.caseInsensitive = foldCase;
    LineExpansion x = ExpandLine(kBashDialect, u"x !!:gs/ /_/");
    EXPECT_EQ(x.outcome, kLineExpanded) << "case-insensitive: " << foldCase;
    if (x.outcome == kLineExpanded) {
      EXPECT_EQ(std::u16string(x.text), u"x " + repeat(u"a_", 1500));
    }
    ReleaseExpansion(&x);
  }
  // Lines built against the shell's case-blind search: 14 'a' and a 'b' over entries of 'a'
  // alone, 15 units compared at nearly every place. The shell is asked only where a simple search
  // compares at most kShellSearchShare units a unit of the text; elsewhere the plugin searches
  // itself. Ordinary searches still go to the shell, save over entries of ASCII alone that hold
  // no unit the word could begin at.
  const std::u16string near = std::u16string(14, u'a') + u"b";
  const std::vector<std::u16string> runs(2000, std::u16string(60, u'a'));
  const std::vector<std::u16string> plain = {u"echo Hello", u"ls -l", u"\u00E9cho hi"};
  const struct {
    const std::vector<std::u16string>* history;
    std::u16string line;
    const char16_t* expanded;  // null: the line fails
    bool asked;                // the shell's search is asked
  } aimed[] = {
      {&runs, u"!?" + near, nullptr, false},
      {&runs, u"x !?" + near + u"?", nullptr, false},
      {nullptr, u"!!:s/" + near + u"/x/", nullptr, false},
      {nullptr, u"x !!:gs/" + near + u"/x/", nullptr, false},
      {nullptr, u"x !!:Gs/" + near + u"/x/", nullptr, false},
      {&plain, u"!?HELLO", u"echo Hello", true},
      {&plain, u"!?HI", u"\u00E9cho hi", true},  // the newest entry holds a unit beyond ASCII
      {&plain, u"!?ECHO:s/HELLO/bye/", u"echo bye", true},
      {&plain, u"!?ZZZ", nullptr, true},  // asked of the entry beyond ASCII alone
      {&runs, u"!?ZZZ", nullptr, false},
  };
  PluginSettings.caseInsensitive = 1;
  standin::SetStristrHook(&CountingStristr);
  for (const auto& row : aimed) {
    const std::vector<std::u16string> history =
        row.history != nullptr ? *row.history : std::vector<std::u16string>{entry};
    standin::SetHistory(history);
    shellCompares = 0;
    LineExpansion x = row.line[0] == u'!' ? ExpandLine(kDefaultDialect, row.line.c_str())
                                          : ExpandLine(kBashDialect, row.line.c_str());
    const std::string what = Show(row.line.substr(0, 40));
    EXPECT_EQ(x.outcome, row.expanded != nullptr ? kLineExpanded : kLineFailed) << what;
    if (x.outcome == kLineExpanded && row.expanded != nullptr) {
      EXPECT_EQ(std::u16string(x.text), row.expanded) << what;
    }
    size_t units = 0;
    for (const std::u16string& e : history) units += e.size() + 1;
    EXPECT_LE(shellCompares, kShellSearchShare * units) << what;
    EXPECT_EQ(shellCompares > 0, row.asked) << what;
    ReleaseExpansion(&x);
  }
  standin::SetStristrHook(nullptr);
  PluginSettings.caseInsensitive = 0;
}

TEST_F(BashMode, ReusesOnlyWhatCameEarlierInTheLine) {
  ExpectRows({
      {u"!!:&", kFail},
      {u"!!:s//x/", kFail},
      {u"^^x^", kFail},
      {u"!!%", kFail},
      {u"!??", kFail},
      {u"!!:s/make/m/ !!:&", u"m -j4 all && make install 2>&1 m -j4 all && make install 2>&1"},
      {u"!!:s/make/m/:&", u"m -j4 all && m install 2>&1"},
      {u"!?two? !2:s//2/", u"Echo one two three Echo one 2 three"},
      {u"!?two? !2:s//2/ !2:s//t/", u"Echo one two three Echo one 2 three Echo one t three"},
      {u"!?two? !2:s/one/1/ !2:s//t/", u"Echo one two three Echo 1 two three Echo t two three"},
      {u"!?two? !??%", u"Echo one two three two"},
  });
}

// What the comparison with bash leaves out: words in the shell's quotes, and a backslash in a
// new text. The rest of the grammar is compared with bash itself (bash_oracle_test.cpp).
TEST_F(BashMode, BashGrammarWithTheShellsQuotes) {
  PluginSettings.countingBase = 1;  // bash's numbering
  ExpectRows({
      {u"!2:2 !2:1* !2:2- !2:-1",
       u"\"b c.txt\" a.txt \"b c.txt\" `d e` > log \"b c.txt\" `d e` > cp a.txt"},
      {u"x !3:s/one/[&]/ !3:s/one/\\&/ !3:s|e|\\||",
       u"x Echo [one] two three Echo & two three Echo on| two three"},
      // A line that begins with the reference reads its leading :s as the default rules do,
      // whatever follows it.
      {u"!3:s/one/[&]/ !3:s/one/[&]/", u"Echo [&] two three Echo [one] two three"},
      {u"!3:s/one/[&]/:p", u"Echo [&] two three"},
      {u"!3:s/one/\\&/:s/t/&&/ x", u"Echo \\& &&wo three x"},
      {u"!3:s/o\\/n/[&]/ x", kFail},  // read as bash reads it: the old text o/n is nowhere
      {u"x #c !!", kAsTyped},         // a word that begins with '#' is a comment
      {u"x#c !!:0 a=#b !!:0", u"x#c make a=#b make"},
  });
  // A '\' before its delimiter leaves a leading :s as the default rules read it, whatever follows,
  // until a delimiter typed after their reading closes bash's.
  ExpectRows({{u"!!:s/C:\\/D:\\/", u"dir D:\\foo /usr/bin"},
              {u"!!:s/C:\\/D:\\/:p", u"dir D:\\foo /usr/bin"},
              {u"!!:s/C:\\/D:\\/ && dir", u"dir D:\\foo /usr/bin && dir"},
              {u"!!:s/C:\\/D:\\/:s/o/0/ x", u"dir D:\\f0o /usr/bin x"},
              {u"!!:s/\\/usr/\\/opt/", u"dir C:\\foo /opt/bin"},
              {u"!!:s/C:\\/D:\\/ /x/", kFail}},
             {u"dir C:\\foo /usr/bin"});
}

// Corners of bash's grammar, each over a history of its own: a g that waits for the next s or &,
// x^, a search text that begins with '-', the '&' of a new text quoted by its delimiter, a number
// of ASCII digits only, and a delimiter or an old text that is a whole character.
TEST_F(BashMode, GrammarCornersAsBashHasThem) {
  const std::u16string kLowHalf(1, char16_t{0xDE00});  // the second unit of U+1F600
  const struct {
    std::vector<std::u16string> history;
    std::vector<Row> rows;
  } tables[] = {
      {{u"cp foo.o boo.o"},
       {{u"e !!:gt:s/o/0/", u"e cp f00.0 b00.0"},
        {u"e !!:s/o/0/:gt:&", u"e cp f00.0 b00.0"},
        {u"e !!:gs/o/0/:s/0/o/", u"e cp fo0.0 b00.0"}}},  // the g is spent by the first s
      {{u"echo one two three"},
       {{u"echo !!:0^", u"echo echo one"}, {u"echo !!:^^", u"echo one"}, {u"echo !!:2^", kFail}}},
      {{u"grep foo bar.txt"},
       {{u"echo !!:s&foo&x\\&y&", u"echo grep xfooy bar.txt"},
        {u"echo !!:s/foo/x\\&y/", u"echo grep x&y bar.txt"},
        {u"echo !!:s/foo/x\\y/", u"echo grep x\\y bar.txt"}}},
      {{u"-x foo"}, {{u"echo !-x", u"echo -x foo"}, {u"echo !-x-", u"echo -x"}}},
      // The words of the line so far: blanks before a !# begin no comment, a '#' does.
      {{u"x #y"},
       {{u"a  !#:$ b !#:$", u"a  a b b"},
        {u"e !! !#:$ !#:$", u"e x #y x x"},
        {u"e !!  !#:1", u"e x #y  x"}}},
      {{u"echo zero", u"echo one"},
       {{u"echo x !\u00B2", kFail}, {u"echo !1\u00B2", u"echo echo one\u00B2"}}},
      {{u"cp \u00E9/\U0001F600.txt \U0001F600x"},
       {{u"e !cp:s\U0001F600x\U0001F600X\U0001F600", u"e cp \u00E9/\U0001F600.tXt \U0001F600x"},
        {u"e !!:s/" + kLowHalf + u"/-/", kFail},  // half of a pair is no occurrence
        {u"e !!:s/" + kLowHalf + u"x/-/", kFail}}},
  };
  for (const auto& t : tables) ExpectRows(t.rows, t.history);
}

TEST_F(BashMode, NoReferenceNoAllocation) {
  for (const char16_t* line : {u"", u"echo hi", u"\"!!\"", u"x ! y", u"a^!b"}) {
    LineExpansion x = ExpandLine(kBashDialect, line);
    EXPECT_EQ(x.outcome, kLineNoReference) << Show(line);
    EXPECT_EQ(x.block, nullptr) << Show(line);
    EXPECT_FALSE(x.printOnly) << Show(line);
  }
}

// The words of an entry, as designators see them.
TEST(BashWords, SplitsAsBashWithTheShellsQuotes) {
  const std::pair<std::u16string, std::vector<std::u16string>> rows[] = {
      {u"cp a;b >x", {u"cp", u"a", u";", u"b", u">", u"x"}},
      {u"x 2>&1 \"a b\"c `d e` 'f g'", {u"x", u"2>&1", u"\"a b\"c", u"`d e`", u"'f", u"g'"}},
      {u"a&&b||c|d>>e<<<f<<-g",
       {u"a", u"&&", u"b", u"||", u"c", u"|", u"d", u">>", u"e", u"<<<", u"f", u"<<-", u"g"}},
      {u"a <>b >|c &>d 3<&-", {u"a", u"<", u">", u"b", u">|", u"c", u"&>", u"d", u"3<&-"}},
      {u"a $(b (c) d)e <(f g) x@(h i) $((1 + 2))",
       {u"a", u"$(b (c) d)e", u"<(f g)", u"x@(h i)", u"$((1 + 2)", u")"}},
      {u"c <() x 2<()y @()y z", {u"c", u"<()", u"x", u"2<()y", u"@()y z"}},
      {u"a \"open b", {u"a", u"\"open b"}},
      {u"a b# #c d", {u"a", u"b#"}},
      {u"  ", {}},
  };
  for (const auto& row : rows) {
    std::vector<std::u16string> words;
    size_t at = 0, start = 0, end = 0;
    while (NextBashWord(row.first.c_str(), row.first.size(), true, &at, &start, &end)) {
      words.push_back(row.first.substr(start, end - start));
    }
    EXPECT_EQ(words, row.second) << Show(row.first);
  }
}

// The line scanner's step, unit by unit: t text, q quoted, e escaped, b a '!' that may begin a
// reference, c a comment (to the end of the line).
TEST(LineScanner, StepsOfALine) {
  const std::pair<std::u16string, std::string> rows[] = {
      {u"a\"b!\"c", "tqqqqt"},
      {u"x ^!y", "tteet"},
      {u"^\U0001F600!", "eeeb"},   // the escape takes a whole character
      {u"x^", "tt"},               // an escape at the end is ordinary
      {u"a #b !c", "ttccccc"},     // a '#' after a blank begins a comment
      {u"a#b !c", "ttttbt"},       // inside a word it does not
      {u"#x", "cc"},               // at the start of the line it does
      {u";#x a)#b", "tccccccc"},   // and after an operator unit
      {u"a)#b", "ttcc"},           // a ')' too
      {u"\"a\"#b", "qqqtt"},       // but not after a quote
      {u"\"open !x", "qqqqqqqq"},  // an open quote runs to the end
      {u"`a!` !b", "qqqqtbt"},
      {u"a\t#b", "ttcc"},
  };
  for (const auto& row : rows) {
    std::string kinds;
    LineScan scan = {row.first.c_str(), 0};
    for (const char16_t* p = row.first.c_str(); *p != 0;) {
      const LineStep step = ScanStep(&scan, p);
      const size_t units = step.kind == kCommentStep ? text::Length(p) : step.units;
      kinds += std::string(units, "tqecb"[step.kind]);
      p += units;
    }
    EXPECT_EQ(kinds, row.second) << Show(row.first);
  }
}

// :h :t :r :e on words and chains of them, with what the chain has learnt kept between steps.
TEST(PathModifiers, HeadTailRootExtension) {
  const struct {
    const char16_t* word;
    const char16_t* modifiers;  // letters, applied in turn
    const char16_t* result;
  } rows[] = {
      {u"/a/b.c", u"h", u"/a"},
      {u"/a/b.c", u"t", u"b.c"},
      {u"/a/b.c", u"r", u"/a/b"},
      {u"/a/b.c", u"e", u".c"},
      {u"b.c", u"h", u"b.c"},
      {u"b.c", u"t", u"b.c"},
      {u"/x.txt", u"h", u""},
      {u"a/b/", u"h", u"a/b"},
      {u"a/b/", u"t", u""},
      {u"a.b/c", u"r", u"a"},
      {u"a.b/c", u"e", u".b/c"},
      {u"abc", u"r", u"abc"},
      {u"/a/b/c", u"hh", u"/a"},
      {u"/a/b/c", u"hhhh", u""},
      {u"a/b/c", u"ht", u"b"},
      {u"/a/b.c.d", u"tr", u"b.c"},
      {u"x.tar.gz", u"ee", u".gz"},
      {u"x.tar.gz", u"rr", u"x"},
      {u"a.b/c.d", u"rh", u"a.b"},
      {u"a/b.c/d", u"te", u"d"},
      {u"", u"htre", u""},
      // This shell's paths: '\' separates as '/' does, and a drive keeps its root.
      {u"C:\\Users\\me\\notes.txt", u"h", u"C:\\Users\\me"},
      {u"C:\\Users\\me\\notes.txt", u"t", u"notes.txt"},
      {u"C:\\Users\\me\\notes.txt", u"r", u"C:\\Users\\me\\notes"},
      {u"C:\\Users\\me\\notes.txt", u"e", u".txt"},
      {u"C:\\notes.txt", u"h", u"C:\\"},
      {u"C:\\notes.txt", u"hh", u"C:\\"},
      {u"C:\\notes.txt", u"t", u"notes.txt"},
      {u"c:/x", u"h", u"c:/"},
      {u"C:\\", u"h", u"C:\\"},
      {u"C:\\", u"t", u""},
      {u"C:notes.txt", u"h", u"C:notes.txt"},  // no separator: the word stays
      {u"1:\\x", u"h", u"1:"},                 // no drive
      {u"\\\\server\\share\\x.doc", u"h", u"\\\\server\\share"},
      {u"\\\\server\\share\\x.doc", u"hhh", u"\\"},
      {u"\\\\server\\share\\x.doc", u"tr", u"x"},
      {u"\\x.txt", u"h", u""},
      {u"a\\b/c", u"h", u"a\\b"},
      {u"a/b\\c", u"ht", u"b"},
      {u"D:\\work\\proj\\build.log", u"htr", u"proj"},
      {u"x.y\\z", u"r", u"x"},
      {u"x.y\\z", u"e", u".y\\z"},
      {u"C:\\a\\b", u"hh", u"C:\\"},
      {u"C:\\a\\b", u"hht", u""},
      // A drive further on in the text: after a blank, a '=' or a quote, not after a letter.
      {u"notepad C:\\notes.txt", u"h", u"notepad C:\\"},
      {u"notepad C:\\a\\b", u"hh", u"notepad C:\\"},
      {u"--out=d:\\x", u"h", u"--out=d:\\"},
      {u"\"C:\\x", u"h", u"\"C:\\"},
      {u"aC:\\x", u"h", u"aC:"},
      {u"1C:\\x", u"h", u"1C:"},
  };
  for (const auto& row : rows) {
    std::u16string word = row.word;
    word.resize(kLineCapacity);
    size_t length = text::Length(row.word);
    PathMarks marks = {length, length};
    for (const char16_t* m = row.modifiers; *m != 0; ++m) {
      ApplyPathModifier(&word[0], &length, *m, &marks);
    }
    EXPECT_EQ(Show(word.substr(0, length)), Show(row.result))
        << Show(row.word) << " :" << Show(row.modifiers);
  }
}

}  // namespace
