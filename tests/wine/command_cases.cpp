// The `quorv` command through the DLL: the report, the help, every error message with its
// prefix, and /W against real files, directories and relative names under Wine.
#include <windows.h>

#include <string>
#include <vector>

#include "cases/expected.h"
#include "host.h"

namespace {

const std::u16string kPrefix = u"Quorvin plugin: ";

// The settings as the plugin holds them, through its report.
std::u16string Shown() {
  return host::Quorv(u"").out;
}

class Command : public HostTest {};
class WaveFile : public HostTest {};

}  // namespace

TEST_F(Command, ReportWithTheDefaults) {
  host::StartPlugin();
  EXPECT_EQ(host::TakeStdout(), u"Quorvin v0.70.0 loaded.\r\n");
  host::CommandResult r = host::Quorv(u"");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.out, expected::kDefaultReport);
  EXPECT_EQ(r.err, u"");
  EXPECT_EQ(expected::Report(expected::kDefaults), expected::kDefaultReport);
}

TEST_F(Command, AbsentArgumentsGive87AndNothingElse) {
  EXPECT_EQ(host::quorv(nullptr), 87);
  EXPECT_EQ(host::TakeStdout(), u"");
  EXPECT_EQ(host::TakeStderr(), u"");
}

TEST_F(Command, HelpAndVersionLine) {
  const std::u16string version = u"\r\n\t\t\t\tQuorvin  0.70.0.0 (x64)\r\n";
  struct Row {
    std::u16string arguments;
    int result;
    std::u16string out;
    std::u16string err;
  };
  const Row rows[] = {
      {u"/?", 0, expected::kHelpText, u""},
      {u"/??", 0, expected::kHelpText + version, u""},
      {u"/?x", 0, expected::kHelpText, u""},
      {u"/B3 /?", 0, expected::kHelpText, u""},
      {u"/? /B9", 0, expected::kHelpText, u""},
      {u"/B9 /?", 1, u"", kPrefix + u"ErrorBeepMode must be 0 to 6: 9\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Show(row.arguments));
    host::CommandResult r = host::Quorv(row.arguments);
    EXPECT_EQ(r.result, row.result);
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(r.err, row.err);
  }
  EXPECT_EQ(Shown(), expected::kDefaultReport);  // nothing was applied
}

TEST_F(Command, EveryErrorMessageWithItsPrefix) {
  struct Row {
    std::u16string arguments;
    std::u16string message;  // after the prefix
  };
  const Row rows[] = {
      {u"/A", u"Bad AllowSpaces value: \"/A\"\r\n"},
      {u"/a:yes", u"Bad AllowSpaces value: \"/A:YES\"\r\n"},
      {u"/Allow:1", u"Bad AllowSpaces value: \"/ALLOW:1\"\r\n"},
      {u"/A:-1", u"Bad AllowSpaces value: \"/A:-1\"\r\n"},
      {u"/b:x", u"Bad ErrorBeepMode value: \"/B:X\"\r\n"},
      {u"/B:-1", u"Bad ErrorBeepMode value: \"/B:-1\"\r\n"},
      {u"/B:4294967296", u"Bad ErrorBeepMode value: \"/B:4294967296\"\r\n"},
      {u"/B:0o8", u"Bad ErrorBeepMode value: \"/B:0O8\"\r\n"},
      {u"/B:7", u"ErrorBeepMode must be 0 to 6: 7\r\n"},
      {u"/B:0o7", u"ErrorBeepMode must be 0 to 6: 7\r\n"},
      {u"/B:07", u"ErrorBeepMode must be 0 to 6: 7\r\n"},
      {u"/B=0x10", u"ErrorBeepMode must be 0 to 6: 16\r\n"},
      {u"/i:z", u"Bad CaseInsensitive value: \"/I:Z\"\r\n"},
      {u"/w:nothere.wav", u"Not a valid .WAV file: \"/W:NOTHERE.WAV\"\r\n"},
      {u"/x:no", u"Bad ExecuteOnFail value: \"/X:NO\"\r\n"},
      {u"/z:12a", u"Bad CountingBase value: \"/Z:12A\"\r\n"},
      {u"/Dx", u"Unknown option: \"/Dx\"\r\n"},
      {u"/q1", u"Unknown option: \"/q1\"\r\n"},
      {u"/S2", u"Unknown option: \"/S2\"\r\n"},
      {u"/restore", u"Unknown option: \"/restore\"\r\n"},
      {u"/", u"Unknown option: \"/\"\r\n"},
      {u"hello", u"Syntax error: \"hello\"\r\n"},
      {u"/B2 /X:no", u"Bad ExecuteOnFail value: \"/X:NO\"\r\n"},
      {u"/B2 x /B9", u"Syntax error: \"x\"\r\n"},
      // Upper-cased by the system's CharUpperW: letters beyond ASCII too, one unit for one.
      {u"/z:\u00e9t\u00e9", u"Bad CountingBase value: \"/Z:\u00c9T\u00c9\"\r\n"},
      {u"/z:stra\u00dfe\u00ff", u"Bad CountingBase value: \"/Z:STRA\u00dfE\u0178\"\r\n"},
      {u"/z:\u00b5\u0131\u03c2", u"Bad CountingBase value: \"/Z:\u00b5\u0131\u03c2\"\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Show(row.arguments));
    host::CommandResult r = host::Quorv(row.arguments);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.out, u"");
    EXPECT_EQ(r.err, kPrefix + row.message);
  }
  EXPECT_EQ(Shown(), expected::kDefaultReport);  // nothing was applied
}

TEST_F(Command, PrefixInsideABatchFile) {
  host::SetVariable(u"_batch", u"1");
  host::SetVariable(u"_batchname", u"C:\\scripts\\100%done.btm");
  host::SetVariable(u"_batchline", u"12");
  host::CommandResult r = host::Quorv(u"/Dx");
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.err, u"Quorvin plugin: C:\\scripts\\100%done.btm [12]  Unknown option: \"/Dx\"\r\n");
}

TEST_F(Command, SplitterOverflowIsAnErrorThatChangesNothing) {
  host::CommandResult r = host::Quorv(u"/B2 " + std::u16string(8192, u'a'));
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.err, kPrefix + u"Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n");
  EXPECT_EQ(r.out, u"");
  EXPECT_EQ(Shown(), expected::kDefaultReport);
}

TEST_F(Command, OptionsAreAppliedTogether) {
  struct Row {
    std::u16string arguments;
    expected::Settings settings;
  };
  const Row rows[] = {
      {u"/A1/B2", {2, 1, 1, 0, 0, u""}},
      {u"/a:0 /x=0 /Z1", {1, 0, 0, 0, 1, u""}},
      {u"/A:5 /Z:0x10 /I0o1", {1, 1, 1, 1, 1, u""}},
      {u"/B:0x6", {1, 1, 1, 0, 0, u""}},  // no custom file: back to the default beep
      {u"/B2 /B4", {4, 1, 1, 0, 0, u""}},
      {u"\"  \" /B3", {3, 1, 1, 0, 0, u""}},
      {u"/B:017", {1, 1, 1, 0, 0, u""}},  // never reached: 17 is out of range
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Show(row.arguments));
    EXPECT_TRUE(host::UnloadPlugin());
    EXPECT_TRUE(host::LoadPlugin());
    host::CommandResult r = host::Quorv(row.arguments);
    if (row.arguments == u"/B:017") {
      EXPECT_EQ(r.result, 1);
      EXPECT_EQ(r.err, kPrefix + u"ErrorBeepMode must be 0 to 6: 17\r\n");
      continue;
    }
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.err, u"");
    EXPECT_EQ(r.out, expected::Report(row.settings));
  }
}

TEST_F(Command, QuietPrintsNothing) {
  host::CommandResult r = host::Quorv(u"/Q");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.out, u"");
  r = host::Quorv(u"/Q /B2 /D /R");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.out, u"");
  EXPECT_EQ(r.err, u"");
}

// /H through the export: the numbers `!n` recalls, each line written as text by the shell's
// output, a shell that ends its list by handing the newest entry back.
TEST_F(Command, HistoryListShowsWhatBangNumberRecalls) {
  host::SetHistory({u"dir", u"echo %PATH% %s", u"type \u00e9t\u00e9 \U0001F600"});
  host::SetEndBySelf(true);
  host::CommandResult r = host::Quorv(u"/Q /Z1 /H2");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.out, u"2  echo %PATH% %s\r\n3  type \u00e9t\u00e9 \U0001F600\r\n");
  EXPECT_EQ(r.err, u"");
  EXPECT_EQ(host::Press(u"!3", 13 /* Enter */).line, u"type \u00e9t\u00e9 \U0001F600");
  r = host::Quorv(u"/H-1");
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.out, u"");
  EXPECT_EQ(r.err, kPrefix + u"Bad History value: \"/H-1\"\r\n");
}

// ==== /W against Wine's file system ====

TEST_F(WaveFile, AcceptedAndRefusedFiles) {
  const std::u16string dir = host::TempDir();
  host::MakeFile(u"ding.WAV");
  host::MakeFile(u"ding.wav.bak");
  host::MakeFile(u"ding.wave");
  host::MakeDir(u"music.wav");
  host::MakeDir(u"sounds.wav");
  host::MakeFile(u"sounds.wav\\ding");
  host::MakeDir(u"dir.x");
  host::MakeFile(u"dir.x\\ding.wav");
  host::MakeDir(u"sub");
  host::MakeFile(u"with blank.wav");
  // A token with a slash or a blank in its value is quoted, so that it stays one token.
  struct Row {
    std::u16string token;     // as typed
    std::u16string accepted;  // the full path taken; empty: refused
  };
  const Row rows[] = {
      {u"\"/W:" + dir + u"\\ding.WAV\"", dir + u"\\ding.WAV"},
      {u"/W:ding.WAV", dir + u"\\ding.WAV"},
      {u"/w=ding.WAV", dir + u"\\ding.WAV"},
      {u"/W:sub\\..\\ding.WAV", dir + u"\\ding.WAV"},
      {u"/W:.\\dir.x\\ding.wav", dir + u"\\dir.x\\ding.wav"},
      {u"\"/W:dir.x/ding.wav\"", dir + u"\\dir.x\\ding.wav"},
      {u"/W:\"with blank.wav\"", dir + u"\\with blank.wav"},
      {u"/W:ding.wav.bak", u""},
      {u"/W:ding.wave", u""},
      {u"/W:music.wav", u""},
      {u"/W:sounds.wav\\ding", u""},
      {u"/W:missing.wav", u""},
      {u"/W:nul.wav", u""},  // the system makes it the device \\.\nul
      {u"/W:", u""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Show(row.token));
    EXPECT_TRUE(host::UnloadPlugin());
    EXPECT_TRUE(host::LoadPlugin());
    host::CommandResult r = host::Quorv(row.token);
    if (!row.accepted.empty()) {
      EXPECT_EQ(r.result, 0);
      EXPECT_EQ(r.err, u"");
      EXPECT_EQ(r.out, expected::Report({6, 1, 1, 0, 0, row.accepted}));
    } else {
      std::u16string shown = row.token;
      CharUpperW(reinterpret_cast<wchar_t*>(&shown[0]));
      EXPECT_EQ(r.result, 1);
      EXPECT_EQ(r.out, u"");
      EXPECT_EQ(r.err, kPrefix + u"Not a valid .WAV file: \"" + shown + u"\"\r\n");
    }
  }
}

TEST_F(WaveFile, PathOf255UnitsAndNoMore) {
  const std::u16string path255 = cases::MakeFileOfLength(255, u'c');
  const std::u16string path256 = cases::MakeFileOfLength(256, u'd');
  host::CommandResult r = host::Quorv(u"\"/W:" + path255 + u"\"");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.out, expected::Report({6, 1, 1, 0, 0, path255}));
  r = host::Quorv(u"\"/W:" + path256 + u"\"");
  EXPECT_EQ(r.result, 1);
  std::u16string upper = u"/W:" + path256;
  CharUpperW(reinterpret_cast<wchar_t*>(&upper[0]));
  EXPECT_EQ(r.err, kPrefix + u"Not a valid .WAV file: \"" + upper + u"\"\r\n");
}

TEST_F(WaveFile, ModeAndFileInEitherOrder) {
  host::MakeFile(u"x.wav");
  const std::u16string full = host::TempDir() + u"\\x.wav";
  host::CommandResult r = host::Quorv(u"/W:x.wav /B2");
  EXPECT_EQ(r.out, expected::Report({2, 1, 1, 0, 0, u""}));
  r = host::Quorv(u"/B6");  // the file was recorded all the same
  EXPECT_EQ(r.out, expected::Report({6, 1, 1, 0, 0, full}));
  r = host::Quorv(u"/B2 /W:x.wav");
  EXPECT_EQ(r.out, expected::Report({6, 1, 1, 0, 0, full}));
  r = host::Quorv(u"/D");  // defaults keep the file
  EXPECT_EQ(r.out, u"Default plugin settings restored.\r\n" + expected::kDefaultReport);
  r = host::Quorv(u"/B6");
  EXPECT_EQ(r.out, expected::Report({6, 1, 1, 0, 0, full}));
}
