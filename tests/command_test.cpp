// The `quorv` settings command: options, values, error messages, the order of applying,
// the report, and saving, compared exactly on standard output and standard error.
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <random>

#include "common/utf.h"
#include "fixture.h"
#include "text/text.h"

namespace {

// The five numeric settings, in the order of the report's lines.
struct Numbers {
  uint32_t allow, mode, caseless, execute, base;
};

constexpr Numbers kDefaults = {1, 1, 0, 1, 0};

Numbers Current() {
  const SettingsRecord& s = PluginSettings;
  return {s.allowWhitespace, s.errorBeepMode, s.caseInsensitive, s.executeOnFailure,
          s.countingBase};
}

std::string ShowNumbers(const Numbers& n) {
  return "A" + std::to_string(n.allow) + " B" + std::to_string(n.mode) + " I" +
         std::to_string(n.caseless) + " X" + std::to_string(n.execute) + " Z" +
         std::to_string(n.base);
}

const char16_t* kModeNames[] = {u"None",          u"Default Beep", u"Asterisk", u"Exclamation",
                                u"Critical Stop", u"Question",     u"Custom"};

std::u16string YesNo(uint32_t v) {
  return v ? u"Yes" : u"No";
}

std::u16string Column(uint32_t v) {
  std::u16string s = standin::FromUtf8(std::to_string(v));
  return s.size() < 2 ? s + u" " : s;
}

// The report as the command prints it.
std::u16string Report(const Numbers& n, const std::u16string& file = u"") {
  std::u16string r = u"\r\nQuorvin v0.70.0 settings:\r\n\n";
  r += u"  Allow whitespace . . . . . . . . /A : " + Column(n.allow) + u"  (" + YesNo(n.allow) +
       u")\r\n";
  r += u"  Error beep mode  . . . . . . . . /B : " + Column(n.mode) + u"  (" + kModeNames[n.mode] +
       u")\r\n";
  if (n.mode == 6 && !file.empty())
    r += u"  Custom error beep filename . . . /W : " + file + u"\r\n";
  r += u"  Case insensitive . . . . . . . . /I : " + Column(n.caseless) + u"  (" +
       YesNo(n.caseless) + u")\r\n";
  r += u"  Execute on failure . . . . . . . /X : " + Column(n.execute) + u"  (" + YesNo(n.execute) +
       u")\r\n";
  r += u"  Entries are numbered from  . . . /Z : " + Column(n.base) + u"\r\n";
  return r;
}

const std::u16string kPrefix = u"Quorvin plugin: ";
const std::u16string kKeyText = u"\\Software\\Velloran\\Quorvin";

// The help and the version line of /??.
const std::u16string kVersionLine = u"\r\n\t\t\t\tQuorvin  0.70.0.0 (x64)\r\n";

std::u16string Quoted(const std::u16string& path) {
  return u"\"" + path + u"\"";
}

struct CommandRun {
  int result;
  std::u16string out;
  std::u16string err;
};

CommandRun Quorv(const std::u16string& arguments) {
  std::vector<char16_t> buffer(arguments.begin(), arguments.end());
  buffer.push_back(0);
  const int result = quorv(buffer.data());
  return CommandRun{result, standin::TakeStdout(), standin::TakeStderr()};
}

// A case of one call from the defaults: its result, exact output and final settings.
struct Case {
  std::u16string arguments;
  int result;
  std::u16string out;
  std::u16string err;
  Numbers after;
};

class Command : public PluginTest {
 protected:
  void Check(const Case& c) {
    PluginSettings = kDefaultSettings;
    const CommandRun run = Quorv(c.arguments);
    EXPECT_EQ(run.result, c.result) << Show(c.arguments);
    EXPECT_EQ(Show(run.out), Show(c.out)) << Show(c.arguments);
    EXPECT_EQ(Show(run.err), Show(c.err)) << Show(c.arguments);
    EXPECT_EQ(ShowNumbers(Current()), ShowNumbers(c.after)) << Show(c.arguments);
  }

  template <size_t N>
  void CheckAll(const Case (&cases)[N]) {
    for (const Case& c : cases) Check(c);
  }

  // Stores a complete valid set of values under `root`.
  void Save(win::HKEY root, const Numbers& n) {
    standin::PutRegistryDword(root, kSettingsKeyPath, u"Error Beep Mode", n.mode);
    standin::PutRegistryDword(root, kSettingsKeyPath, u"Case Insensitive", n.caseless);
    standin::PutRegistryDword(root, kSettingsKeyPath, u"Allow Whitespace", n.allow);
    standin::PutRegistryDword(root, kSettingsKeyPath, u"Execute on Failure", n.execute);
    standin::PutRegistryDword(root, kSettingsKeyPath, u"Counting Base", n.base);
  }
};

TEST_F(Command, ReportWithTheDefaults) {
  const CommandRun run = Quorv(u"");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(Show(run.out), Show(u"\r\nQuorvin v0.70.0 settings:\r\n\n"
                                u"  Allow whitespace . . . . . . . . /A : 1   (Yes)\r\n"
                                u"  Error beep mode  . . . . . . . . /B : 1   (Default Beep)\r\n"
                                u"  Case insensitive . . . . . . . . /I : 0   (No)\r\n"
                                u"  Execute on failure . . . . . . . /X : 1   (Yes)\r\n"
                                u"  Entries are numbered from  . . . /Z : 0 \r\n"));
  EXPECT_EQ(run.err, u"");
  EXPECT_EQ(quorv(nullptr), 87);
  EXPECT_EQ(standin::TakeStdout() + standin::TakeStderr(), u"");
}

TEST_F(Command, SpellingsRangesAndRadixes) {
  const Case cases[] = {
      {u"/A1/B2", 0, Report({1, 2, 0, 1, 0}), u"", {1, 2, 0, 1, 0}},
      {u"/a:0 /x=0 /Z1", 0, Report({0, 1, 0, 0, 1}), u"", {0, 1, 0, 0, 1}},
      {u"/A:5", 0, Report(kDefaults), u"", kDefaults},
      {u"/A0 /A:5", 0, Report(kDefaults), u"", kDefaults},
      {u"/Z:0x10 /I1", 0, Report({1, 1, 1, 1, 1}), u"", {1, 1, 1, 1, 1}},
      {u"/B0x5", 0, Report({1, 5, 0, 1, 0}), u"", {1, 5, 0, 1, 0}},
      {u"/B:0X4", 0, Report({1, 4, 0, 1, 0}), u"", {1, 4, 0, 1, 0}},
      {u"/B=0o3", 0, Report({1, 3, 0, 1, 0}), u"", {1, 3, 0, 1, 0}},
      {u"/B05", 0, Report({1, 5, 0, 1, 0}), u"", {1, 5, 0, 1, 0}},
      {u"/B2 /B0", 0, Report({1, 0, 0, 1, 0}), u"", {1, 0, 0, 1, 0}},
      {u"/B:0x6", 0, Report(kDefaults), u"", kDefaults},  // no valid custom file
      {u"/B6", 0, Report(kDefaults), u"", kDefaults},
      {u"\"  \" /B2", 0, Report({1, 2, 0, 1, 0}), u"", {1, 2, 0, 1, 0}},
      {u"/Q", 0, u"", u"", kDefaults},
      {u"/q /b2", 0, u"", u"", {1, 2, 0, 1, 0}},
  };
  CheckAll(cases);
}

TEST_F(Command, ErrorMessagesAndTheirUpperCasing) {
  const Case cases[] = {
      {u"/A", 1, u"", kPrefix + u"Bad AllowSpaces value: \"/A\"\r\n", kDefaults},
      {u"/a:yes", 1, u"", kPrefix + u"Bad AllowSpaces value: \"/A:YES\"\r\n", kDefaults},
      {u"/A::1", 1, u"", kPrefix + u"Bad AllowSpaces value: \"/A::1\"\r\n", kDefaults},
      {u"/Allow:1", 1, u"", kPrefix + u"Bad AllowSpaces value: \"/ALLOW:1\"\r\n", kDefaults},
      {u"/B:7", 1, u"", kPrefix + u"ErrorBeepMode must be 0 to 6: 7\r\n", kDefaults},
      {u"/B:0o7", 1, u"", kPrefix + u"ErrorBeepMode must be 0 to 6: 7\r\n", kDefaults},
      {u"/B:07", 1, u"", kPrefix + u"ErrorBeepMode must be 0 to 6: 7\r\n", kDefaults},
      {u"/B:4294967295", 1, u"", kPrefix + u"ErrorBeepMode must be 0 to 6: 4294967295\r\n",
       kDefaults},
      {u"/B:4294967296", 1, u"", kPrefix + u"Bad ErrorBeepMode value: \"/B:4294967296\"\r\n",
       kDefaults},
      {u"/b:-1", 1, u"", kPrefix + u"Bad ErrorBeepMode value: \"/B:-1\"\r\n", kDefaults},
      {u"/B:0o8", 1, u"", kPrefix + u"Bad ErrorBeepMode value: \"/B:0O8\"\r\n", kDefaults},
      {u"/B: 1", 1, u"", kPrefix + u"Bad ErrorBeepMode value: \"/B:\"\r\n", kDefaults},
      {u"/i:0x", 1, u"", kPrefix + u"Bad CaseInsensitive value: \"/I:0X\"\r\n", kDefaults},
      {u"/B2 /x:no", 1, u"", kPrefix + u"Bad ExecuteOnFail value: \"/X:NO\"\r\n", kDefaults},
      {u"/z+1", 1, u"", kPrefix + u"Bad CountingBase value: \"/Z+1\"\r\n", kDefaults},
      {u"/Dx", 1, u"", kPrefix + u"Unknown option: \"/Dx\"\r\n", kDefaults},
      {u"/restore", 1, u"", kPrefix + u"Unknown option: \"/restore\"\r\n", kDefaults},
      {u"/S2", 1, u"", kPrefix + u"Unknown option: \"/S2\"\r\n", kDefaults},
      {u"/", 1, u"", kPrefix + u"Unknown option: \"/\"\r\n", kDefaults},
      {u"hello /B2", 1, u"", kPrefix + u"Syntax error: \"hello\"\r\n", kDefaults},
      {u"/B2 /B9 hello", 1, u"", kPrefix + u"ErrorBeepMode must be 0 to 6: 9\r\n", kDefaults},
  };
  CheckAll(cases);
}

TEST_F(Command, HelpStopsTheCommand) {
  const std::u16string help = HelpText;
  const Case cases[] = {
      {u"/?", 0, help, u"", kDefaults},
      {u"/??", 0, help + kVersionLine, u"", kDefaults},
      {u"/?x", 0, help, u"", kDefaults},
      {u"/B3 /?", 0, help, u"", kDefaults},
      {u"/? /B9", 0, help, u"", kDefaults},
      {u"/Q /?", 0, help, u"", kDefaults},
      {u"/B9 /?", 1, u"", kPrefix + u"ErrorBeepMode must be 0 to 6: 9\r\n", kDefaults},
  };
  CheckAll(cases);
}

TEST_F(Command, ErrorsInsideABatchFileCarryItsPosition) {
  standin::SetVariable(u"_batch", u"1");
  standin::SetVariable(u"_batchname", u"C:\\setup.btm");
  standin::SetVariable(u"_batchline", u"3");
  Check({u"/x", 1, u"", u"Quorvin plugin: C:\\setup.btm [3]  Bad ExecuteOnFail value: \"/X\"\r\n",
         kDefaults});
}

TEST_F(Command, RestoreAndDefaultsInBothOrders) {
  const Numbers saved = {0, 3, 1, 0, 1};
  Save(win::CurrentUser(), saved);
  const std::u16string restored =
      u"Settings restored from the registry (HKCU" + kKeyText + u").\r\n";
  const std::u16string notFound = u"Settings not found in the registry.\r\n";
  const std::u16string defaults = u"Default plugin settings restored.\r\n";
  Check({u"/D /R", 0, restored + Report(saved), u"", saved});
  Check({u"/R /D", 0, restored + Report(saved), u"", saved});
  Check({u"/R /B2", 0, restored + Report({0, 2, 1, 0, 1}), u"", {0, 2, 1, 0, 1}});
  Check({u"/R /Q", 0, u"", u"", saved});

  // The machine key when the user key is damaged.
  const Numbers machine = {1, 4, 0, 0, 0};
  Save(win::LocalMachine(), machine);
  standin::PutRegistryDword(win::CurrentUser(), kSettingsKeyPath, u"Counting Base", 2);
  Check({u"/R", 0,
         u"Settings restored from the registry (HKLM" + kKeyText + u").\r\n" + Report(machine), u"",
         machine});

  standin::ResetRegistry();
  PluginSettings = {0, 0, 0, 1, 1, {}};
  const CommandRun run = Quorv(u"/D /R");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(Show(run.out), Show(notFound + defaults + Report(kDefaults)));
  Check({u"/B2 /D", 0, defaults + Report({1, 2, 0, 1, 0}), u"", {1, 2, 0, 1, 0}});
}

TEST_F(Command, SavingToEitherRoot) {
  const std::u16string savedUser =
      u"\r\nSettings saved to the registry (HKCU" + kKeyText + u").\r\n";
  const std::u16string savedMachine =
      u"\r\nSettings saved to the registry (HKLM" + kKeyText + u").\r\n";
  Check({u"/B2 /S", 0, Report({1, 2, 0, 1, 0}) + savedUser, u"", {1, 2, 0, 1, 0}});
  EXPECT_TRUE(standin::RegistryKeyExists(win::CurrentUser(), kSettingsKeyPath));
  EXPECT_FALSE(standin::RegistryKeyExists(win::LocalMachine(), kSettingsKeyPath));

  standin::ResetRegistry();
  Check({u"/S /S!", 0, Report(kDefaults) + savedMachine, u"", kDefaults});
  EXPECT_FALSE(standin::RegistryKeyExists(win::CurrentUser(), kSettingsKeyPath));
  EXPECT_TRUE(standin::RegistryKeyExists(win::LocalMachine(), kSettingsKeyPath));

  Check({u"/Q /B2 /S", 0, u"", u"", {1, 2, 0, 1, 0}});
  standin::RegistryValue value;
  ASSERT_TRUE(
      standin::GetRegistryValue(win::CurrentUser(), kSettingsKeyPath, u"Error Beep Mode", &value));
  EXPECT_EQ(value.data, (std::vector<uint8_t>{2, 0, 0, 0}));
}

TEST_F(Command, FailedSaveKeepsTheNewSettingsInMemory) {
  standin::FailValueWrite(u"Counting Base", 5);
  const std::u16string failure = kPrefix + u"Error saving settings to the registry (HKCU" +
                                 kKeyText + u") :\r\nAccess is denied.\r\n";
  Check({u"/Z1 /S", 2, Report({1, 1, 0, 1, 1}) + u"\r\n", failure, {1, 1, 0, 1, 1}});
  Check({u"/Q /Z1 /S", 2, u"\r\n", failure, {1, 1, 0, 1, 1}});

  standin::FailValueWrite(u"Counting Base", 0);
  standin::FailKeyCreate(5);
  Check({u"/Q /S!", 2, u"\r\n",
         kPrefix + u"Error saving settings to the registry (HKLM" + kKeyText +
             u") :\r\nAccess is denied.\r\n",
         kDefaults});

  // A stale file name the registry will not let go of fails the save.
  standin::FailKeyCreate(0);
  standin::PutRegistryString(win::CurrentUser(), kSettingsKeyPath, u"Error Beep Filename",
                             u"/old.wav");
  standin::FailValueDelete(u"Error Beep Filename", 5);
  Check({u"/Q /S", 2, u"\r\n", failure, kDefaults});
}

TEST_F(Command, WaveFiles) {
  const std::u16string wave = MakeFile(u"ding.wav");
  const std::u16string other = MakeFile(u"other.WAV");
  MakeDir(u"x.wav");
  MakeFile(u"My Sounds.wav");
  MakeDir(u"My");
  MakeFile(u"My/Sounds.wav");
  const Numbers custom = {1, 6, 0, 1, 0};

  // POSIX paths are quoted: outside quotation marks their slashes would start new options.
  Check({u"/W:" + Quoted(wave), 0, Report(custom, wave), u"", custom});
  EXPECT_EQ(std::u16string(PluginSettings.customBeepFile), wave);

  // /W after /B decides the mode; /B after /W too, but the file is still recorded.
  Check({u"/B2 /W=" + Quoted(other), 0, Report(custom, other), u"", custom});
  Check({u"/W" + Quoted(other) + u" /B2", 0, Report({1, 2, 0, 1, 0}), u"", {1, 2, 0, 1, 0}});
  EXPECT_EQ(std::u16string(PluginSettings.customBeepFile), other);

  // A relative name is made absolute against the current directory.
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(standin::ToUtf8(TempDir()).c_str()), 0);
  Check({u"/w:ding.wav", 0, Report(custom, wave), u"", custom});
  Check({u"/w:x.wav", 1, u"", kPrefix + u"Not a valid .WAV file: \"/W:X.WAV\"\r\n", kDefaults});
  Check({u"/W:missing.wav", 1, u"", kPrefix + u"Not a valid .WAV file: \"/W:MISSING.WAV\"\r\n",
         kDefaults});
  Check({u"/W", 1, u"", kPrefix + u"Not a valid .WAV file: \"/W\"\r\n", kDefaults});
  // A shell that fills the full-path buffer without a terminator: no valid file, nothing read
  // past the buffer.
  standin::SetFillWithoutTerminator(true);
  EXPECT_EQ(quorv(std::u16string(u"/W:x.wav").data()), 1);
  const std::u16string err = standin::TakeStderr();
  const std::u16string message = u"Not a valid .WAV file: \"/W:X.WAV\"\r\n";
  EXPECT_EQ(err.substr(err.size() - message.size()), message);
  standin::SetFillWithoutTerminator(false);
  Check({u"/W:\"My Sounds.wav\"", 0, Report(custom, TempDir() + u"/My Sounds.wav"), u"", custom});
  Check(
      {u"/W:My Sounds.wav", 1, u"", kPrefix + u"Not a valid .WAV file: \"/W:MY\"\r\n", kDefaults});
  Check(
      {u"/W:My/Sounds.wav", 1, u"", kPrefix + u"Not a valid .WAV file: \"/W:MY\"\r\n", kDefaults});
  ASSERT_EQ(chdir(previous), 0);

  // A valid file chosen earlier keeps mode 6 alive; the quiet report is silent.
  PluginSettings = kDefaultSettings;
  text::Copy(PluginSettings.customBeepFile, kWaveFileCapacity, wave.c_str());
  EXPECT_EQ(Quorv(u"/B6").out, Report(custom, wave));
  EXPECT_EQ(Quorv(u"/Q /B:1").out, u"");
  EXPECT_EQ(Quorv(u"/D").out, u"Default plugin settings restored.\r\n" + Report(kDefaults));
  EXPECT_EQ(std::u16string(PluginSettings.customBeepFile), wave);
}

TEST_F(Command, PathWithBlanksSplitsIntoASyntaxError) {
  const std::u16string dir = TempDir();
  MakeDir(u"snd");
  MakeFile(u"snd/a.wav");
  MakeFile(u"snd/a.wav b.wav");
  Check({u"/W:" + dir + u"/snd/a.wav", 1, u"", kPrefix + u"Not a valid .WAV file: \"/W:\"\r\n",
         kDefaults});
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(standin::ToUtf8(dir + u"/snd").c_str()), 0);
  Check({u"/W:a.wav b.wav", 1, u"", kPrefix + u"Syntax error: \"b.wav\"\r\n", kDefaults});
  ASSERT_EQ(chdir(previous), 0);
}

TEST_F(Command, FailedSplitIsAnErrorAndChangesNothing) {
  std::u16string many;
  for (int i = 0; i < kMaxArguments; ++i) many += u"/B2 ";
  const std::u16string overflow = kPrefix + u"Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n";
  const Case cases[] = {
      {std::u16string(9000, u'x'), 1, u"", overflow, kDefaults},
      {u"/Q /B2 /S " + std::u16string(9000, u'x'), 1, u"", overflow, kDefaults},
      {many + u"/S", 1, u"", kPrefix + u"Too many arguments: more than 1024\r\n", kDefaults},
  };
  CheckAll(cases);
  EXPECT_FALSE(standin::RegistryKeyExists(win::CurrentUser(), kSettingsKeyPath));
}

// `quorv /H`: the history as `!n` numbers it, written in place of the report, the same whether
// the shell ends its list by null or by handing the newest entry back.
TEST_F(Command, HistoryList) {
  const std::vector<std::u16string> three = {u"dir", u"echo %PATH% %s 100%",
                                             u"type \u00e9t\u00e9 \U0001F600.txt"};
  const std::u16string lines3[] = {u"0  dir\r\n", u"1  echo %PATH% %s 100%\r\n",
                                   u"2  type \u00e9t\u00e9 \U0001F600.txt\r\n"};
  const std::u16string all3 = lines3[0] + lines3[1] + lines3[2];
  std::vector<std::u16string> ten;
  for (int i = 0; i < 10; ++i) ten.push_back(u"e" + standin::FromUtf8(std::to_string(i)));
  const std::u16string longest(kMaxLineLength, u'L');
  const std::u16string bad = kPrefix + u"Bad History value: ";
  const Numbers b2 = {1, 2, 0, 1, 0};
  struct Row {
    std::vector<std::u16string> history;
    std::u16string arguments;
    int result;
    std::u16string out;
    std::u16string err;
    Numbers after;
  };
  const Row rows[] = {
      {{}, u"/H", 0, u"", u"", kDefaults},
      {{u"dir"}, u"/H", 0, u"0  dir\r\n", u"", kDefaults},
      {three, u"/H", 0, all3, u"", kDefaults},
      {three, u"/H0", 0, u"", u"", kDefaults},
      {three, u"/h1", 0, lines3[2], u"", kDefaults},
      {three, u"/H3", 0, all3, u"", kDefaults},
      {three, u"/H:4", 0, all3, u"", kDefaults},
      {three, u"/H=4294967295", 0, all3, u"", kDefaults},
      {three, u"/H0x2", 0, lines3[1] + lines3[2], u"", kDefaults},
      {three, u"/H5 /H2", 0, lines3[1] + lines3[2], u"", kDefaults},
      {three,
       u"/Z1 /H",
       0,
       u"1  dir\r\n2  echo %PATH% %s 100%\r\n3  type \u00e9t\u00e9 \U0001F600.txt\r\n",
       u"",
       {1, 1, 0, 1, 1}},
      {three, u"/H1 /Z1 /Z0", 0, lines3[2], u"", kDefaults},
      // The width is that of the largest number shown.
      {ten, u"/H2", 0, u"8  e8\r\n9  e9\r\n", u"", kDefaults},
      {ten, u"/Z1 /H2", 0, u" 9  e8\r\n10  e9\r\n", u"", {1, 1, 0, 1, 1}},
      {ten, u"/Z:1 /H:1", 0, u"10  e9\r\n", u"", {1, 1, 0, 1, 1}},
      // Entries as they are: line breaks, and as long as the shell's line.
      {{u"a\r\nb", u""}, u"/H", 0, u"0  a\r\nb\r\n1  \r\n", u"", kDefaults},
      {{longest}, u"/H", 0, u"0  " + longest + u"\r\n", u"", kDefaults},
      // With the other options, in their usual order; never the report, also not quietly.
      {three, u"/Q /H1", 0, lines3[2], u"", kDefaults},
      {three, u"/H1 /B2", 0, lines3[2], u"", b2},
      {three, u"/B2 /D /H1", 0, u"Default plugin settings restored.\r\n" + lines3[2], u"", b2},
      {three, u"/H1 /S", 0,
       lines3[2] + u"\r\nSettings saved to the registry (HKCU" + kKeyText + u").\r\n", u"",
       kDefaults},
      {three, u"/H1 /?", 0, HelpText, u"", kDefaults},
      // A bad count is a bad option: nothing is listed or changed.
      {three, u"/B2 /Hx", 1, u"", bad + u"\"/HX\"\r\n", kDefaults},
      {three, u"/H-1 /B2", 1, u"", bad + u"\"/H-1\"\r\n", kDefaults},
      {three, u"/H4294967296", 1, u"", bad + u"\"/H4294967296\"\r\n", kDefaults},
      {three, u"/H:", 1, u"", bad + u"\"/H:\"\r\n", kDefaults},
      {three, u"/History", 1, u"", bad + u"\"/HISTORY\"\r\n", kDefaults},
      {three, u"/H 2", 1, u"", kPrefix + u"Syntax error: \"2\"\r\n", kDefaults},
  };
  for (const bool bySelf : {false, true}) {
    for (const Row& row : rows) {
      standin::ResetRegistry();
      standin::SetHistory(row.history);
      standin::SetEndBySelf(bySelf);
      Check({row.arguments, row.result, row.out, row.err, row.after});
    }
  }
  EXPECT_EQ(standin::TakeStdout() + standin::TakeStderr(), u"");
}

// An entry longer than the shell's line (which the shell never holds) is cut to it, never
// inside a surrogate pair.
TEST_F(Command, HistoryListCutsAnOverlongEntryAtAWholeCharacter) {
  const std::u16string fill(kMaxLineLength - 1, u'x');
  standin::SetHistory({fill + u"yz", fill + u"\U0001F600"});
  EXPECT_EQ(Quorv(u"/H").out, u"0  " + fill + u"y\r\n1  " + fill + u"\r\n");
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
  standin::SetHistory(history);
  for (const bool bySelf : {false, true}) {
    for (const char16_t* base : {u"/Z0", u"/Z1"}) {
      standin::SetEndBySelf(bySelf);
      const size_t newest = random() % 320;
      const std::u16string listing =
          Quorv(std::u16string(base) + u" /H" + standin::FromUtf8(std::to_string(newest))).out;
      size_t lines = 0;
      for (size_t at = 0; at < listing.size(); ++lines) {
        const size_t end = listing.find(u"\r\n", at);
        ASSERT_NE(end, std::u16string::npos);
        const std::u16string line = listing.substr(at, end - at);
        at = end + 2;
        const size_t digits = line.find_first_not_of(u' ');
        const size_t gap = line.find(u"  ", digits);
        ASSERT_NE(gap, std::u16string::npos) << Show(line);
        EXPECT_EQ(PressKey(u"!" + line.substr(digits, gap - digits)).line, line.substr(gap + 2))
            << Show(line) << " " << Show(base) << " " << bySelf;
      }
      EXPECT_EQ(lines, std::min(newest, history.size())) << newest;
    }
  }
}

TEST(ParseUnsignedValue, NumbersAndNot) {
  struct Case {
    const char16_t* text;
    int result;
    uint32_t value;
  } cases[] = {
      {u"12", 0, 12},
      {u"0x1F", 0, 31},
      {u"0X1f", 0, 31},
      {u"0o17", 0, 15},
      {u"0O7", 0, 7},
      {u"017", 0, 17},
      {u"0", 0, 0},
      {u"4294967295", 0, 4294967295u},
      {u"0xFFFFFFFF", 0, 4294967295u},
      {u"0x0x5", 0, 5},
      {u"4294967296", ERANGE, 0},
      {u"0x100000000", ERANGE, 0},
      {u"-1", -1, 0},
      {u"+1", -1, 0},
      {u" 1", -1, 0},
      {u"0o8", -1, 0},
      {u"0x", -1, 0},
      {u"12a", -1, 0},
      {u"", -1, 0},
      {u"1 ", -1, 0},
      {u"0o", -1, 0},
      {u"\u00B2", -1, 0},
  };
  for (const Case& c : cases) {
    uint32_t value = 777;
    EXPECT_EQ(ParseUnsignedValue(c.text, &value), c.result) << Show(c.text);
    EXPECT_EQ(value, c.result == 0 ? c.value : 777u) << Show(c.text);
  }
  EXPECT_EQ(ParseUnsignedValue(u"1", nullptr), -1);
}

}  // namespace
