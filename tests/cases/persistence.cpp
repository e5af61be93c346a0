// The settings kept in the registry: what /S and /S! write, which key a start and /R take, keys
// and values that are not taken, restoring with the defaults and other options, and saves the
// registry refuses, with the system's reason.
#include <algorithm>
#include <iterator>

#include "cases.h"
#include "platform/platform.h"

namespace cases {

// Spoils of a user key, each a value the plugin cannot take.
const std::vector<DamagedKey> kDamagedKeys = {
    {"Counting Base 2", {{u"Counting Base", win::kRegDword, Dword(2)}}},
    {"Error Beep Mode 7", {{u"Error Beep Mode", win::kRegDword, Dword(7)}}},
    {"Error Beep Mode 0xFFFFFFFF", {{u"Error Beep Mode", win::kRegDword, Dword(0xFFFFFFFF)}}},
    {"Counting Base as REG_SZ \"1\"", {{u"Counting Base", win::kRegSz, Text(u"1")}}},
    {"Counting Base as REG_SZ \"0\"", {{u"Counting Base", win::kRegSz, Text(u"0")}}},
    {"Allow Whitespace as 8 bytes",
     {{u"Allow Whitespace", win::kRegDword, {1, 0, 0, 0, 0, 0, 0, 0}}}},
    // Its first four bytes alone would be a valid 0.
    {"Allow Whitespace as 8 bytes, 0 first",
     {{u"Allow Whitespace", win::kRegDword, {0, 0, 0, 0, 9, 9, 9, 9}}}},
    {"Allow Whitespace as 2 bytes", {{u"Allow Whitespace", win::kRegDword, {1, 0}}}},
    {"Execute on Failure as 2 bytes", {{u"Execute on Failure", win::kRegDword, {1, 0}}}},
    {"Case Insensitive as REG_BINARY 1", {{u"Case Insensitive", win::kRegBinary, Dword(1)}}},
    {"Case Insensitive as REG_BINARY 0", {{u"Case Insensitive", win::kRegBinary, Dword(0)}}},
    {"Execute on Failure missing", {{u"Execute on Failure", win::kRegNone, {}}}},
    {"two out of range",
     {{u"Case Insensitive", win::kRegDword, Dword(0xFFFFFFFF)},
      {u"Execute on Failure", win::kRegDword, Dword(5)}}},
    {"every value missing",
     {{u"Error Beep Mode", win::kRegNone, {}},
      {u"Case Insensitive", win::kRegNone, {}},
      {u"Allow Whitespace", win::kRegNone, {}},
      {u"Execute on Failure", win::kRegNone, {}},
      {u"Counting Base", win::kRegNone, {}}}},
};

}  // namespace cases

namespace {

using cases::kFileValueName;
using cases::kValueNames;
using cases::Shown;
using expected::Report;
using expected::Settings;

using expected::kDefaults;

const std::u16string kRestoredFromUser =
    u"Settings restored from the registry (HKCU\\Software\\Velloran\\Quorvin).\r\n";
const std::u16string kRestoredFromMachine =
    u"Settings restored from the registry (HKLM\\Software\\Velloran\\Quorvin).\r\n";
const std::u16string kNotFound = u"Settings not found in the registry.\r\n";
const std::u16string kDefaultsRestored = u"Default plugin settings restored.\r\n";

// The message of a save that failed with `status`.
std::u16string SaveError(bool machine, const std::u16string& text) {
  const std::u16string& head = machine ? expected::kSaveErrorToMachine : expected::kSaveErrorToUser;
  return head + text + u"\r\n";
}

// The file name is checked too: stored as the full path with its terminator, or not at all.
void ExpectStored(bool machine, const Settings& s) {
  for (size_t i = 0; i < std::size(kValueNames); ++i) {
    SCOPED_TRACE(Show(kValueNames[i]));
    const host::StoredValue v = host::ReadValue(machine, kValueNames[i]);
    EXPECT_TRUE(v.found);
    EXPECT_EQ(v.type, win::kRegDword);
    EXPECT_EQ(v.data, cases::Dword(cases::ValueOf(s, i)));
  }
  const host::StoredValue file = host::ReadValue(machine, kFileValueName);
  EXPECT_EQ(file.found, !s.file.empty());
  if (file.found) {
    EXPECT_EQ(file.type, win::kRegSz);
    EXPECT_EQ(file.data, cases::Text(s.file));
  }
}

class Persistence : public HostTest {};

// ==== Saving ====

TEST_F(Persistence, SaveThenAFreshLoadRestoresEveryValue) {
  const std::u16string saved = host::MakeFile(u"saved.WAV");
  const std::u16string ding = host::MakeFile(u"ding.wav");
  const Settings b2 = {2, 1, 1, 0, 0, u""};
  const Settings b5 = {5, 1, 1, 0, 0, u""};
  const Settings all = {3, 0, 0, 1, 1, u""};
  const Settings savedFile = {6, 1, 1, 0, 0, saved};
  const Settings dingFile = {6, 0, 0, 1, 1, ding};
  struct Row {
    std::u16string options;
    bool machine;  // the key written; the other root holds none
    Settings saved;
    std::u16string out;
  };
  const std::vector<Row> rows = {
      {u"/Q /A0 /B3 /I1 /X0 /Z1 /S", false, all, u""},
      {u"/Q /W:saved.WAV /S", false, savedFile, u""},  // the full path is kept
      {u"/B2 /S", false, b2, Report(b2) + expected::kSavedToUser},
      {u"/Q /B2 /S", false, b2, u""},
      {u"/S /S!", true, kDefaults, expected::kDefaultReport + expected::kSavedToMachine},
      {u"/B5 /S /S!", true, b5, Report(b5) + expected::kSavedToMachine},
      {u"/Q /A0 /X0 /I1 /Z1 /W:ding.wav /S!", true, dingFile, u""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(ShowBrief(row.options));
    ASSERT_TRUE(host::ResetWorld());
    host::StartPlugin();
    host::TakeStdout();
    const host::CommandResult r = host::Quorv(row.options);
    EXPECT_EQ(r.result, 0);
    EXPECT_TEXT(r.out, row.out);
    EXPECT_TEXT(r.err, u"");
    ExpectStored(row.machine, row.saved);
    EXPECT_FALSE(host::SettingsKeyExists(!row.machine));
    cases::Restart();
    EXPECT_TEXT(Shown(), Report(row.saved));
  }
}

// Without a valid file the save removes the file name: a value that is gone, or was never
// there, is a success; a removal the registry refuses fails the save with its status, as the
// old name would come back at the next load, and the name stays.
TEST_F(Persistence, SavingWithoutAValidFileRemovesTheFileName) {
  const struct {
    bool present;     // a file name stored before
    uint32_t status;  // what its removal gives
    bool fails;
  } rows[] = {
      {true, 0, false}, {false, 0, false}, {true, 5, true}, {true, 1018, true}, {false, 2, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.present) + " " + std::to_string(row.status));
    ASSERT_TRUE(host::ResetWorld());
    if (row.present)
      host::PutValue(false, kFileValueName, win::kRegSz, cases::Text(u"C:\\old.wav"));
    host::FailValueDelete(kFileValueName, row.status);
    const host::CommandResult r = host::Quorv(u"/Q /S");
    EXPECT_EQ(r.result, row.fails ? 2 : 0);
    EXPECT_TEXT(r.out, row.fails ? u"\r\n" : u"");
    EXPECT_TEXT(r.err, row.fails ? SaveError(false, cases::SystemText(row.status)) : u"");
    EXPECT_EQ(host::ReadValue(false, u"Error Beep Mode").data, cases::Dword(1));
    const host::StoredValue file = host::ReadValue(false, kFileValueName);
    EXPECT_EQ(file.found, row.fails);
    if (file.found) {
      EXPECT_EQ(file.data, cases::Text(u"C:\\old.wav"));
    }
  }
}

// A write that fails does not stop the others; the last failure is the one reported, in the
// system's words, and the settings in memory keep the new values. The values are written in one
// fixed order, the one every earlier version wrote, the file name last.
TEST_F(Persistence, FailingWritesStillWriteTheRest) {
  const std::u16string ding = host::MakeFile(u"ding.wav");
  const std::u16string quietly = u"\r\n";
  const Settings z1 = {1, 1, 1, 0, 1, u""};
  const Settings b2 = {2, 1, 1, 0, 0, u""};
  const Settings fileAndZ1 = {1, 1, 1, 0, 1, ding};
  const Settings custom = {6, 1, 1, 0, 0, ding};
  using cases::SystemText;
  using Faults = std::vector<std::pair<std::u16string, uint32_t>>;
  struct Row {
    Faults faults;  // value names and the status their write gives
    std::u16string options;
    Settings saved;       // what the command leaves in memory and the registry
    std::u16string out;   // standard output
    std::u16string text;  // the reason the message gives
  };
  const char16_t* const* names = kValueNames;
  const std::vector<Row> rows = {
      {{{u"Counting Base", 5}}, u"/Z1 /S", z1, Report(z1) + u"\r\n", SystemText(5)},
      {{{u"Counting Base", 5}}, u"/Q /Z1 /S", z1, quietly, SystemText(5)},
      {{{u"Error Beep Mode", 5}, {u"Execute on Failure", 1009}},
       u"/Q /Z1 /S",
       z1,
       quietly,
       SystemText(1009)},
      {{{u"Error Beep Mode", 5}, {u"Execute on Failure", 1009}, {kFileValueName, 1392}},
       u"/Q /Z1 /W:ding.wav /B1 /S",
       fileAndZ1,
       quietly,
       SystemText(1392)},
      {{{u"Error Beep Mode", 5}, {u"Counting Base", 87}},
       u"/Q /S",
       kDefaults,
       quietly,
       SystemText(87)},
      {{{kFileValueName, 5}}, u"/Q /W:ding.wav /S", custom, quietly, SystemText(5)},
      {{{u"Case Insensitive", 5}}, u"/Q /B2 /S", b2, quietly, SystemText(5)},
      {{{u"Case Insensitive", 87}}, u"/Q /B2 /S", b2, quietly, SystemText(87)},
      {{{u"Case Insensitive", 1392}}, u"/Q /B2 /S", b2, quietly, SystemText(1392)},
      {{{u"Case Insensitive", 0x20000001}}, u"/Q /B2 /S", b2, quietly, u"Error 536870913"},
      {{{u"Case Insensitive", 0xE0000001}}, u"/Q /B2 /S", b2, quietly, u"Error -536870911"},
      {{{u"Case Insensitive", 0xFFFFFFFF}}, u"/Q /B2 /S", b2, quietly, u"Unknown error"},
      {{{names[0], 1001}, {names[1], 1000}}, u"/Q /S", kDefaults, quietly, SystemText(1000)},
      {{{names[1], 1001}, {names[2], 1000}}, u"/Q /S", kDefaults, quietly, SystemText(1000)},
      {{{names[2], 1001}, {names[3], 1000}}, u"/Q /S", kDefaults, quietly, SystemText(1000)},
      {{{names[3], 1001}, {names[4], 1000}}, u"/Q /S", kDefaults, quietly, SystemText(1000)},
  };
  EXPECT_NE(SystemText(1000), SystemText(1001));
  for (const Row& row : rows) {
    std::string faults;
    for (const auto& fault : row.faults) faults += " " + Show(fault.first);
    SCOPED_TRACE(ShowBrief(row.options) + ", failing" + faults);
    ASSERT_TRUE(host::ResetWorld());
    for (const auto& [name, status] : row.faults) host::FailValueWrite(name, status);
    const host::CommandResult r = host::Quorv(row.options);
    EXPECT_EQ(r.result, 2);
    EXPECT_TEXT(r.out, row.out);
    EXPECT_TEXT(r.err, SaveError(false, row.text));
    EXPECT_TEXT(Shown(), Report(row.saved));
    const auto failed = [&row](const std::u16string& name) {
      return std::any_of(row.faults.begin(), row.faults.end(),
                         [&name](const auto& fault) { return fault.first == name; });
    };
    for (size_t i = 0; i < std::size(kValueNames); ++i) {
      const host::StoredValue v = host::ReadValue(false, kValueNames[i]);
      EXPECT_EQ(v.found, !failed(kValueNames[i])) << Show(kValueNames[i]);
      if (v.found) {
        EXPECT_EQ(v.data, cases::Dword(cases::ValueOf(row.saved, i))) << Show(kValueNames[i]);
      }
    }
    EXPECT_EQ(host::ReadValue(false, kFileValueName).found,
              !failed(kFileValueName) && !row.saved.file.empty());
  }
}

// A key that may be read but not written: the save fails with the system's own reason, and the
// settings in memory keep the new values.
TEST_F(Persistence, KeyThatCannotBeOpenedForWriting) {
  const Settings b3 = {3, 1, 1, 0, 0, u""};
  EXPECT_NE(cases::SystemText(5), u"Error 5");
  const struct {
    bool machine;
    std::u16string options;
    std::u16string out;
    Settings after;
  } rows[] = {
      {false, u"/B3 /S", Report(b3) + u"\r\n", b3},
      {false, u"/Q /S", u"\r\n", kDefaults},
      {true, u"/Q /S!", u"\r\n", kDefaults},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(ShowBrief(row.options));
    ASSERT_TRUE(host::ResetWorld());
    host::LockSettingsKey(row.machine);
    host::StartPlugin();
    host::TakeStdout();
    const host::CommandResult r = host::Quorv(row.options);
    EXPECT_EQ(r.result, 2);
    EXPECT_TEXT(r.out, row.out);
    EXPECT_TEXT(r.err, SaveError(row.machine, cases::SystemText(5)));
    EXPECT_TEXT(Shown(), Report(row.after));
  }
}

// ==== Loading ====

// At start the user's key is taken when all its values are good, else the machine's.
TEST_F(Persistence, WhichKeyAStartTakes) {
  const struct {
    const char* what;
    void (*prepare)();
    Settings shown;
  } rows[] = {
      {"both keys",
       [] {
         cases::PutSettings(true, {2, 0, 0, 1, 1, u""});
         cases::PutSettings(false, {3, 1, 1, 0, 0, u""});
       },
       {3, 1, 1, 0, 0, u""}},
      {"the machine's key alone",
       [] {
         cases::PutSettings(true, {4, 0, 0, 1, 1, u""});
       },
       {4, 0, 0, 1, 1, u""}},
      {"no key", [] {}, kDefaults},
      {"empty keys",
       [] {
         for (const bool machine : {false, true}) {
           host::PutValue(machine, u"Counting Base", win::kRegDword, cases::Dword(1));
           host::RemoveValue(machine, u"Counting Base");
         }
       },
       kDefaults},
      {"a damaged user key, no machine key",
       [] {
         cases::PutSettings(false, {3, 0, 0, 1, 1, u""});
         host::PutValue(false, u"Counting Base", win::kRegDword, cases::Dword(2));
       },
       kDefaults},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(host::ResetWorld());
    row.prepare();
    cases::Restart();
    EXPECT_TEXT(Shown(), Report(row.shown));
  }
}

// A user key with one bad value is not taken in part: the machine's key is taken whole.
TEST_F(Persistence, DamagedUserKeyFallsBackToTheMachineKeyAsAWhole) {
  const Settings machine = {4, 0, 0, 1, 1, u""};
  for (const cases::DamagedKey& row : cases::kDamagedKeys) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(host::ResetWorld());
    cases::PutSettings(true, machine);
    cases::PutSettings(false, {2, 1, 1, 0, 0, u""});
    cases::PutSpoils(false, row.spoils);
    cases::Restart();
    EXPECT_TEXT(Shown(), Report(machine));
  }
}

// Mode 6 is taken only with a stored file name that is a valid wave file of at most 255 units;
// otherwise the rest is taken and the mode falls back to the shell's beep.
TEST_F(Persistence, CustomModeNeedsAUsableFile) {
  const std::u16string wave = host::MakeFile(u"stored.wav");
  const std::u16string folder = host::MakeDir(u"folder.wav");
  const std::u16string path255 = cases::MakeFileOfLength(255, u'a');
  const std::u16string path256 = cases::MakeFileOfLength(256, u'b');
  EXPECT_EQ(path255.size(), 255u);
  EXPECT_EQ(path256.size(), 256u);
  const Settings fallBack = {1, 0, 0, 1, 1, u""};
  const struct {
    const char* what;
    uint32_t type;  // kRegNone: no file name stored
    std::u16string file;
    Settings shown;
  } rows[] = {
      {"a valid file", win::kRegSz, wave, {6, 0, 0, 1, 1, wave}},
      {"255 units", win::kRegSz, path255, {6, 0, 0, 1, 1, path255}},
      {"256 units", win::kRegSz, path256, fallBack},
      {"no file name", win::kRegNone, u"", fallBack},
      {"as REG_EXPAND_SZ", win::kRegExpandSz, wave, fallBack},
      {"a missing file", win::kRegSz, cases::Path(host::TempDir(), u"missing.wav"), fallBack},
      {"a directory named .wav", win::kRegSz, folder, fallBack},
      {"the test's directory", win::kRegSz, cases::Path(host::TempDir(), u""), fallBack},
      {"empty", win::kRegSz, u"", fallBack},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(host::ResetWorld());
    cases::PutSettings(false, {6, 0, 0, 1, 1, u""});
    if (row.type != win::kRegNone) {
      host::PutValue(false, kFileValueName, row.type, cases::Text(row.file));
    }
    cases::Restart();
    EXPECT_TEXT(Shown(), Report(row.shown));
  }
}

// ==== Restoring ====

// /R takes the user's key, else the machine's, before the other options, and cancels /D; with
// neither key /D still applies.
TEST_F(Persistence, RestoreWithDefaultsAndOptions) {
  const std::u16string ding = host::MakeFile(u"ding.wav");
  const Settings a = {3, 0, 0, 1, 1, u""}, a2 = {2, 0, 0, 1, 1, u""}, a6 = {6, 0, 0, 1, 1, ding};
  const Settings b = {3, 1, 1, 0, 1, u""}, b2 = {2, 1, 1, 0, 1, u""};
  const Settings m = {4, 1, 0, 0, 0, u""}, c2 = {2, 1, 1, 0, 0, u""}, c4 = {4, 0, 1, 0, 0, u""};
  const Settings custom = {6, 1, 1, 0, 0, u""}, customDing = {6, 1, 1, 0, 0, ding};
  const Settings none = {9, 9, 9, 9, 9, u""};  // no key
  struct Row {
    std::u16string before;  // options applied quietly first; the plugin is not started
    Settings user;          // the user's key: complete, or none
    bool userDamaged;       // with a bad Counting Base
    Settings machine;       // the machine's key
    std::u16string options;
    std::u16string out;
    Settings after;
  };
  const std::u16string user = kRestoredFromUser, machine = kRestoredFromMachine;
  const std::u16string neither = kNotFound + kDefaultsRestored + expected::kDefaultReport;
  const std::vector<Row> rows = {
      {u"", a, false, none, u"/D /R", user + Report(a), a},
      {u"", a, false, none, u"/R /D", user + Report(a), a},
      {u"", a, false, none, u"/R /B2", user + Report(a2), a2},
      {u"", a, false, none, u"/R /Q", u"", a},
      {u"", a, true, m, u"/R", machine + Report(m), m},
      {u"/B0 /A0 /X0 /I1 /Z1", none, false, none, u"/D /R", neither, kDefaults},
      {u"", none, false, none, u"/B2 /D", kDefaultsRestored + Report(c2), c2},
      {u"/B4 /A0", b, false, none, u"/D /R", user + Report(b), b},
      {u"/B4 /A0", b, false, none, u"/R /D", user + Report(b), b},
      {u"/B4 /A0", none, false, none, u"/D /R", neither, kDefaults},
      {u"/B4 /A0", b, false, none, u"/R /B2", user + Report(b2), b2},
      {u"/B4 /A0", none, false, none, u"/B2 /D", kDefaultsRestored + Report(c2), c2},
      {u"/B4 /A0", b, false, none, u"/Q /R", u"", b},
      {u"/B4 /A0", none, false, none, u"/R", kNotFound + Report(c4), c4},
      // Mode 6 without a stored file name lasts only while the file in memory is valid.
      {u"/W:ding.wav", none, false, custom, u"/R", machine + Report(customDing), customDing},
      {u"", none, false, custom, u"/R", machine + expected::kDefaultReport, kDefaults},
      // A key read in keeps the file in memory.
      {u"/W:ding.wav", a, false, none, u"/R /B6", user + Report(a6), a6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(ShowBrief(row.before) + " then " + ShowBrief(row.options));
    ASSERT_TRUE(host::ResetWorld());
    if (row.user.beep != none.beep) cases::PutSettings(false, row.user);
    if (row.userDamaged) host::PutValue(false, u"Counting Base", win::kRegDword, cases::Dword(2));
    if (row.machine.beep != none.beep) cases::PutSettings(true, row.machine);
    if (!row.before.empty()) host::Set(row.before);
    const host::CommandResult r = host::Quorv(row.options);
    EXPECT_EQ(r.result, 0);
    EXPECT_TEXT(r.out, row.out);
    EXPECT_TEXT(r.err, u"");
    EXPECT_TEXT(Shown(), Report(row.after));
  }
}

// What /S! and then /S wrote, /R reads back: the machine's key while the user has none, then
// the user's.
TEST_F(Persistence, SavedThenRestoredFromEitherKey) {
  host::StartPlugin();
  host::TakeStdout();
  const Settings machine = {3, 1, 1, 0, 1, u""};
  const Settings user = {2, 1, 1, 0, 1, u""};
  cases::CheckSteps({
      {u"/Q /B3 /Z1 /S!", u""},
      {u"/Q /B0 /Z0", u""},
      {u"/R", kRestoredFromMachine + Report(machine)},
      {u"/B2 /S", Report(user) + expected::kSavedToUser},
      {u"/Q /B4 /Z0", u""},
      {u"/R", kRestoredFromUser + Report(user)},
  });
}

}  // namespace
