// The `quorv` settings command: options and their spellings, every error message, the help, the
// order of applying, /W against files, and /H, compared exactly on standard output and standard
// error, with the settings the report shows afterwards.
#include <algorithm>
#include <iterator>
#include <random>

#include "cases.h"

namespace {

using cases::kPrefix;
using expected::Report;
using expected::Settings;

using expected::kDefaults;
const Settings kB2 = {2, 1, 1, 0, 0, u""};
const Settings kZ1 = {1, 1, 1, 0, 1, u""};

// One call of the command from the default settings, and all it gives.
struct Call {
  std::u16string arguments;
  int result;
  std::u16string out;
  std::u16string err;  // after the prefix; empty: nothing
  Settings after;      // as the report shows them afterwards
};

// Runs each row from the defaults (quorv /Q /D: no row of these tables chooses a wave file, which
// /D would keep).
void CheckCalls(const std::vector<Call>& rows) {
  for (const Call& row : rows) {
    SCOPED_TRACE(ShowBrief(row.arguments));
    host::Set(u"/D");
    const host::CommandResult r = host::Quorv(row.arguments);
    EXPECT_EQ(r.result, row.result);
    EXPECT_TEXT(r.out, row.out);
    EXPECT_TEXT(r.err, row.err.empty() ? u"" : kPrefix + row.err);
    EXPECT_TEXT(cases::Shown(), Report(row.after));
  }
}

// A call that is refused: nothing printed on standard output, nothing applied.
Call Refused(const std::u16string& arguments, const std::u16string& message) {
  return {arguments, 1, u"", message, kDefaults};
}

// A call that applies its options and reports them.
Call Applied(const std::u16string& arguments, const Settings& after) {
  return {arguments, 0, Report(after), u"", after};
}

class Command : public HostTest {};

TEST_F(Command, ReportWithTheDefaults) {
  host::StartPlugin();
  EXPECT_TEXT(host::TakeStdout(), u"Quorvin v0.70.0 loaded.\r\n");
  const host::CommandResult r = host::Quorv(u"");
  EXPECT_EQ(r.result, 0);
  EXPECT_TEXT(r.out, expected::kDefaultReport);
  EXPECT_TEXT(r.err, u"");
  EXPECT_TEXT(Report(kDefaults), expected::kDefaultReport);
  EXPECT_EQ(host::quorv(nullptr), 87);
  EXPECT_TEXT(host::TakeStdout() + host::TakeStderr(), u"");
}

TEST_F(Command, SpellingsRangesAndRadixes) {
  CheckCalls({
      Applied(u"/A1/B2", kB2),
      Applied(u"/a:0 /x=0 /Z1", {1, 0, 0, 0, 1, u""}),
      Applied(u"/A:5", kDefaults),
      Applied(u"/A0 /A:5", kDefaults),
      Applied(u"/Z:0x10 /I1", {1, 1, 1, 1, 1, u""}),
      Applied(u"/A:5 /Z:0x10 /I0o1", {1, 1, 1, 1, 1, u""}),
      Applied(u"/B0x5", {5, 1, 1, 0, 0, u""}),
      Applied(u"/B:0X4", {4, 1, 1, 0, 0, u""}),
      Applied(u"/B=0o3", {3, 1, 1, 0, 0, u""}),
      Applied(u"/B05", {5, 1, 1, 0, 0, u""}),
      Applied(u"/B2 /B0", {0, 1, 1, 0, 0, u""}),
      Applied(u"/B2 /B4", {4, 1, 1, 0, 0, u""}),
      Applied(u"/B:0x6", kDefaults),  // no valid custom file: back to the default beep
      Applied(u"/B6", kDefaults),
      Applied(u"\"  \" /B2", kB2),
      Applied(u"\"  \" /B3", {3, 1, 1, 0, 0, u""}),
      {u"/Q", 0, u"", u"", kDefaults},
      {u"/q /b2", 0, u"", u"", kB2},
      {u"/Q /B2 /D /R", 0, u"", u"", kB2},  // nothing saved; /D before the options
  });
}

TEST_F(Command, ErrorMessagesAndTheirUpperCasing) {
  const std::u16string mode = u"ErrorBeepMode must be 0 to 6: ";
  CheckCalls({
      Refused(u"/A", u"Bad AllowSpaces value: \"/A\"\r\n"),
      Refused(u"/a:yes", u"Bad AllowSpaces value: \"/A:YES\"\r\n"),
      Refused(u"/A::1", u"Bad AllowSpaces value: \"/A::1\"\r\n"),
      Refused(u"/Allow:1", u"Bad AllowSpaces value: \"/ALLOW:1\"\r\n"),
      Refused(u"/A:-1", u"Bad AllowSpaces value: \"/A:-1\"\r\n"),
      Refused(u"/B:7", mode + u"7\r\n"),
      Refused(u"/B:0o7", mode + u"7\r\n"),
      Refused(u"/B:07", mode + u"7\r\n"),
      Refused(u"/B:017", mode + u"17\r\n"),
      Refused(u"/B=0x10", mode + u"16\r\n"),
      Refused(u"/B:4294967295", mode + u"4294967295\r\n"),
      Refused(u"/B:4294967296", u"Bad ErrorBeepMode value: \"/B:4294967296\"\r\n"),
      Refused(u"/b:-1", u"Bad ErrorBeepMode value: \"/B:-1\"\r\n"),
      Refused(u"/B:-1", u"Bad ErrorBeepMode value: \"/B:-1\"\r\n"),
      Refused(u"/b:x", u"Bad ErrorBeepMode value: \"/B:X\"\r\n"),
      Refused(u"/B:0o8", u"Bad ErrorBeepMode value: \"/B:0O8\"\r\n"),
      Refused(u"/B: 1", u"Bad ErrorBeepMode value: \"/B:\"\r\n"),
      Refused(u"/i:0x", u"Bad CaseInsensitive value: \"/I:0X\"\r\n"),
      Refused(u"/i:z", u"Bad CaseInsensitive value: \"/I:Z\"\r\n"),
      Refused(u"/w:nothere.wav", u"Not a valid .WAV file: \"/W:NOTHERE.WAV\"\r\n"),
      Refused(u"/x:no", u"Bad ExecuteOnFail value: \"/X:NO\"\r\n"),
      Refused(u"/B2 /x:no", u"Bad ExecuteOnFail value: \"/X:NO\"\r\n"),
      Refused(u"/B2 /X:no", u"Bad ExecuteOnFail value: \"/X:NO\"\r\n"),
      Refused(u"/z+1", u"Bad CountingBase value: \"/Z+1\"\r\n"),
      Refused(u"/z:12a", u"Bad CountingBase value: \"/Z:12A\"\r\n"),
      // Upper-cased as the system's CharUpperW does: letters beyond ASCII too, one unit for one.
      Refused(u"/z:\u00e9t\u00e9", u"Bad CountingBase value: \"/Z:\u00c9T\u00c9\"\r\n"),
      Refused(u"/z:stra\u00dfe\u00ff", u"Bad CountingBase value: \"/Z:STRA\u00dfE\u0178\"\r\n"),
      Refused(u"/z:\u00b5\u0131\u03c2", u"Bad CountingBase value: \"/Z:\u00b5\u0131\u03c2\"\r\n"),
      Refused(u"/Dx", u"Unknown option: \"/Dx\"\r\n"),
      Refused(u"/q1", u"Unknown option: \"/q1\"\r\n"),
      Refused(u"/restore", u"Unknown option: \"/restore\"\r\n"),
      Refused(u"/S2", u"Unknown option: \"/S2\"\r\n"),
      Refused(u"/", u"Unknown option: \"/\"\r\n"),
      Refused(u"hello", u"Syntax error: \"hello\"\r\n"),
      Refused(u"hello /B2", u"Syntax error: \"hello\"\r\n"),
      Refused(u"/B2 x /B9", u"Syntax error: \"x\"\r\n"),
      Refused(u"/B2 /B9 hello", mode + u"9\r\n"),
  });
}

TEST_F(Command, HelpStopsTheCommand) {
  const std::u16string& help = expected::kHelpText;
  const std::u16string version = u"\r\n\t\t\t\tQuorvin  0.70.0.0 (x64)\r\n";
  CheckCalls({
      {u"/?", 0, help, u"", kDefaults},
      {u"/??", 0, help + version, u"", kDefaults},
      {u"/?x", 0, help, u"", kDefaults},
      {u"/B3 /?", 0, help, u"", kDefaults},
      {u"/? /B9", 0, help, u"", kDefaults},
      {u"/Q /?", 0, help, u"", kDefaults},
      Refused(u"/B9 /?", u"ErrorBeepMode must be 0 to 6: 9\r\n"),
  });
}

TEST_F(Command, ErrorsInsideABatchFileCarryItsPosition) {
  const struct {
    std::u16string name, line, arguments, err;
  } rows[] = {
      {u"C:\\setup.btm", u"3", u"/x",
       u"Quorvin plugin: C:\\setup.btm [3]  Bad ExecuteOnFail value: \"/X\"\r\n"},
      {u"C:\\scripts\\100%done.btm", u"12", u"/Dx",
       u"Quorvin plugin: C:\\scripts\\100%done.btm [12]  Unknown option: \"/Dx\"\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(ShowBrief(row.arguments));
    host::SetVariable(u"_batch", u"1");
    host::SetVariable(u"_batchname", row.name);
    host::SetVariable(u"_batchline", row.line);
    const host::CommandResult r = host::Quorv(row.arguments);
    EXPECT_EQ(r.result, 1);
    EXPECT_TEXT(r.out, u"");
    EXPECT_TEXT(r.err, row.err);
  }
}

TEST_F(Command, FailedSplitIsAnErrorAndChangesNothing) {
  std::u16string many;
  for (int i = 0; i < 1024; ++i) many += u"/B2 ";
  const std::u16string overflow = u"Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n";
  CheckCalls({
      Refused(std::u16string(9000, u'x'), overflow),
      Refused(u"/B2 " + std::u16string(8192, u'a'), overflow),
      Refused(u"/Q /B2 /S " + std::u16string(9000, u'x'), overflow),
      Refused(many + u"/S", u"Too many arguments: more than 1024\r\n"),
  });
  EXPECT_FALSE(host::SettingsKeyExists(false));
}

// ==== /W against the host's files ====

class WaveFile : public HostTest {};

TEST_F(WaveFile, AcceptedAndRefusedFiles) {
  const std::u16string ding = host::MakeFile(u"ding.wav");
  const std::u16string dingUpper = host::MakeFile(u"ding.WAV");
  const std::u16string blank = host::MakeFile(u"My Sounds.wav");
  const std::u16string withBlank = host::MakeFile(u"with blank.wav");
  host::MakeFile(u"ding.wav.bak");
  host::MakeFile(u"ding.wave");
  host::MakeDir(u"x.wav");
  host::MakeDir(u"music.wav");
  host::MakeDir(u"sounds.wav");
  host::MakeFile(cases::Path(u"sounds.wav", u"ding"));
  host::MakeDir(u"My");
  host::MakeFile(cases::Path(u"My", u"Sounds.wav"));
  host::MakeDir(u"dir.x");
  const std::u16string inDir = host::MakeFile(cases::Path(u"dir.x", u"ding.wav"));
  host::MakeFile(u"a.wav");
  host::MakeFile(u"a.wav b.wav");
  const std::u16string invalid = u"Not a valid .WAV file: ";
  // A value with a slash or a blank is quoted, alone or with its option, so that it stays one
  // token; a slash outside quotation marks starts the next option.
  struct Row {
    std::u16string token;     // as typed
    std::u16string accepted;  // the full path taken; empty: refused
    std::u16string err;       // why it is refused, after the prefix
  };
  const Row rows[] = {
      {u"/W:\"" + ding + u"\"", ding, u""},
      {u"\"/W:" + dingUpper + u"\"", dingUpper, u""},
      {u"/w:ding.wav", ding, u""},
      {u"/W:ding.WAV", dingUpper, u""},
      {u"/w=ding.WAV", dingUpper, u""},
      {u"\"/W:dir.x/ding.wav\"", inDir, u""},
      {u"/W:\"My Sounds.wav\"", blank, u""},
      {u"/W:\"with blank.wav\"", withBlank, u""},
      {u"/w:x.wav", u"", invalid + u"\"/W:X.WAV\"\r\n"},
      {u"/W:music.wav", u"", invalid + u"\"/W:MUSIC.WAV\"\r\n"},
      {u"/W:sounds.wav\\ding", u"", invalid + u"\"/W:SOUNDS.WAV\\DING\"\r\n"},
      {u"/W:ding.wav.bak", u"", invalid + u"\"/W:DING.WAV.BAK\"\r\n"},
      {u"/W:ding.wave", u"", invalid + u"\"/W:DING.WAVE\"\r\n"},
      {u"/W:missing.wav", u"", invalid + u"\"/W:MISSING.WAV\"\r\n"},
      {u"/W", u"", invalid + u"\"/W\"\r\n"},
      {u"/W:", u"", invalid + u"\"/W:\"\r\n"},
      {u"/W:My Sounds.wav", u"", invalid + u"\"/W:MY\"\r\n"},
      {u"/W:My/Sounds.wav", u"", invalid + u"\"/W:MY\"\r\n"},
      {u"/W:a.wav b.wav", u"", u"Syntax error: \"b.wav\"\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(ShowBrief(row.token));
    const Settings custom = {6, 1, 1, 0, 0, row.accepted};
    CheckCalls({row.accepted.empty() ? Refused(row.token, row.err) : Applied(row.token, custom)});
  }
}

TEST_F(WaveFile, PathOf255UnitsAndNoMore) {
  const std::u16string path255 = cases::MakeFileOfLength(255, u'c');
  const std::u16string path256 = cases::MakeFileOfLength(256, u'd');
  std::u16string upper = u"/W:" + path256;
  for (char16_t& c : upper) c = c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c;
  CheckCalls({
      Applied(u"\"/W:" + path255 + u"\"", {6, 1, 1, 0, 0, path255}),
      Refused(u"\"/W:" + path256 + u"\"", u"Not a valid .WAV file: \"" + upper + u"\"\r\n"),
  });
}

// /W after /B decides the mode, and so does /B after /W, but the file is recorded all the same;
// the defaults keep it.
TEST_F(WaveFile, ModeAndFileInEitherOrder) {
  const std::u16string x = host::MakeFile(u"x.wav");
  const std::u16string other = host::MakeFile(u"other.WAV");
  const std::u16string quoted = u"\"" + other + u"\"";
  const std::u16string defaults = u"Default plugin settings restored.\r\n";
  cases::CheckSteps({
      {u"/W:x.wav /B2", Report(kB2)},
      {u"/B6", Report({6, 1, 1, 0, 0, x})},
      {u"/B2 /W:x.wav", Report({6, 1, 1, 0, 0, x})},
      {u"/D", defaults + expected::kDefaultReport},
      {u"/B6", Report({6, 1, 1, 0, 0, x})},
      {u"/B2 /W=" + quoted, Report({6, 1, 1, 0, 0, other})},
      {u"/W" + quoted + u" /B2", Report(kB2)},
      {u"/B6", Report({6, 1, 1, 0, 0, other})},
      {u"/Q /B:1", u""},
      {u"/D", defaults + expected::kDefaultReport},
      {u"/B6", Report({6, 1, 1, 0, 0, other})},
  });
}

// ==== /H ====

// `quorv /H`: the history as `!n` numbers it, written in place of the report, the same whether
// the shell ends its list by null or by handing the newest entry back.
TEST_F(Command, HistoryList) {
  const std::vector<std::u16string> three = {u"dir", u"echo %PATH% %s 100%",
                                             u"type \u00e9t\u00e9 \U0001F600.txt"};
  const std::u16string lines3[] = {u"0  dir\r\n", u"1  echo %PATH% %s 100%\r\n",
                                   u"2  type \u00e9t\u00e9 \U0001F600.txt\r\n"};
  const std::u16string all3 = lines3[0] + lines3[1] + lines3[2];
  std::vector<std::u16string> ten;
  for (char16_t i = u'0'; i <= u'9'; ++i) ten.push_back(std::u16string(u"e") + i);
  const std::u16string longest(kMaxLineLength, u'L');
  const std::u16string bad = u"Bad History value: ";
  struct Row {
    std::vector<std::u16string> history;
    Call call;
  };
  const Row rows[] = {
      {{}, {u"/H", 0, u"", u"", kDefaults}},
      {{u"dir"}, {u"/H", 0, u"0  dir\r\n", u"", kDefaults}},
      {three, {u"/H", 0, all3, u"", kDefaults}},
      {three, {u"/H0", 0, u"", u"", kDefaults}},
      {three, {u"/h1", 0, lines3[2], u"", kDefaults}},
      {three, {u"/H3", 0, all3, u"", kDefaults}},
      {three, {u"/H:4", 0, all3, u"", kDefaults}},
      {three, {u"/H=4294967295", 0, all3, u"", kDefaults}},
      {three, {u"/H0x2", 0, lines3[1] + lines3[2], u"", kDefaults}},
      {three, {u"/H5 /H2", 0, lines3[1] + lines3[2], u"", kDefaults}},
      {three,
       {u"/Z1 /H", 0,
        u"1  dir\r\n2  echo %PATH% %s 100%\r\n3  type \u00e9t\u00e9 \U0001F600.txt\r\n", u"", kZ1}},
      {three, {u"/H1 /Z1 /Z0", 0, lines3[2], u"", kDefaults}},
      {{u"dir", u"echo %PATH% %s", u"type \u00e9t\u00e9 \U0001F600"},
       {u"/Q /Z1 /H2", 0, u"2  echo %PATH% %s\r\n3  type \u00e9t\u00e9 \U0001F600\r\n", u"", kZ1}},
      // The width is that of the largest number shown.
      {ten, {u"/H2", 0, u"8  e8\r\n9  e9\r\n", u"", kDefaults}},
      {ten, {u"/Z1 /H2", 0, u" 9  e8\r\n10  e9\r\n", u"", kZ1}},
      {ten, {u"/Z:1 /H:1", 0, u"10  e9\r\n", u"", kZ1}},
      // Entries as they are: line breaks, and as long as the shell's line.
      {{u"a\r\nb", u""}, {u"/H", 0, u"0  a\r\nb\r\n1  \r\n", u"", kDefaults}},
      {{longest}, {u"/H", 0, u"0  " + longest + u"\r\n", u"", kDefaults}},
      // With the other options, in their usual order; never the report, also not quietly.
      {three, {u"/Q /H1", 0, lines3[2], u"", kDefaults}},
      {three, {u"/H1 /B2", 0, lines3[2], u"", kB2}},
      {three, {u"/B2 /D /H1", 0, u"Default plugin settings restored.\r\n" + lines3[2], u"", kB2}},
      {three, {u"/H1 /S", 0, lines3[2] + expected::kSavedToUser, u"", kDefaults}},
      {three, {u"/H1 /?", 0, expected::kHelpText, u"", kDefaults}},
      // A bad count is a bad option: nothing is listed or changed.
      {three, Refused(u"/B2 /Hx", bad + u"\"/HX\"\r\n")},
      {three, Refused(u"/H-1", bad + u"\"/H-1\"\r\n")},
      {three, Refused(u"/H-1 /B2", bad + u"\"/H-1\"\r\n")},
      {three, Refused(u"/H4294967296", bad + u"\"/H4294967296\"\r\n")},
      {three, Refused(u"/H:", bad + u"\"/H:\"\r\n")},
      {three, Refused(u"/History", bad + u"\"/HISTORY\"\r\n")},
      {three, Refused(u"/H 2", u"Syntax error: \"2\"\r\n")},
  };
  for (const bool bySelf : {false, true}) {
    SCOPED_TRACE(bySelf ? "the list ends by the newest entry" : "the list ends by null");
    host::SetEndBySelf(bySelf);
    for (const Row& row : rows) {
      host::SetHistory(row.history);
      CheckCalls({row.call});
    }
  }
}

// An entry longer than the shell's line (which the shell never holds) is cut to it, never
// inside a surrogate pair.
TEST_F(Command, HistoryListCutsAnOverlongEntryAtAWholeCharacter) {
  const std::u16string fill(kMaxLineLength - 1, u'x');
  host::SetHistory({fill + u"yz", fill + u"\U0001F600"});
  EXPECT_TEXT(host::Quorv(u"/H").out, u"0  " + fill + u"y\r\n1  " + fill + u"\r\n");
}

// For every number `quorv /H` shows, `!n` recalls the entry shown beside it, with either base
// and either end of the list.
TEST_F(Command, HistoryListShowsWhatBangNumberRecalls) {
  const std::u16string units[] = {u"a", u"Z", u"7",      u" ",      u"%",         u"%s",
                                  u"!", u":", u"\u00e9", u"\u4e2d", u"\U0001F600"};
  std::mt19937 random(20240611);
  std::vector<std::u16string> history;
  for (int i = 0; i < 300; ++i) {
    std::u16string entry;
    const size_t length = 1 + random() % 12;
    for (size_t j = 0; j < length; ++j) entry += units[random() % std::size(units)];
    history.push_back(entry);
  }
  host::SetHistory(history);
  for (const bool bySelf : {false, true}) {
    for (const char16_t* base : {u"/Z0", u"/Z1"}) {
      host::SetEndBySelf(bySelf);
      const size_t newest = random() % 320;
      const std::string count = std::to_string(newest);
      const std::u16string listing =
          host::Quorv(base + (u" /H" + std::u16string(count.begin(), count.end()))).out;
      size_t lines = 0;
      for (size_t at = 0; at < listing.size(); ++lines) {
        const size_t end = listing.find(u"\r\n", at);
        ASSERT_NE(end, std::u16string::npos);
        const std::u16string line = listing.substr(at, end - at);
        at = end + 2;
        const size_t digits = line.find_first_not_of(u' ');
        const size_t gap = line.find(u"  ", digits);
        ASSERT_NE(gap, std::u16string::npos) << Show(line);
        EXPECT_TEXT(host::Press(u"!" + line.substr(digits, gap - digits)).line,
                    line.substr(gap + 2))
            << Show(line) << " " << Show(base) << " " << bySelf;
      }
      EXPECT_EQ(lines, std::min(newest, history.size())) << newest;
    }
  }
}

}  // namespace
