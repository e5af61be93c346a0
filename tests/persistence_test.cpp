// Loading, saving and resetting the settings under the registry key, and the registry
// stand-in's own semantics that the loading relies on.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/utf.h"
#include "fixture.h"
#include "text/text.h"

namespace {

using standin::PutRegistryDword;
using standin::PutRegistryString;
using standin::PutRegistryValue;

const std::u16string kKey = kSettingsKeyPath;

// Stores a complete set of numeric values under `root`.
void PutValues(win::HKEY root, uint32_t mode, uint32_t caseless, uint32_t spaces, uint32_t execute,
               uint32_t base) {
  PutRegistryDword(root, kKey, u"Error Beep Mode", mode);
  PutRegistryDword(root, kKey, u"Case Insensitive", caseless);
  PutRegistryDword(root, kKey, u"Allow Whitespace", spaces);
  PutRegistryDword(root, kKey, u"Execute on Failure", execute);
  PutRegistryDword(root, kKey, u"Counting Base", base);
}

bool SameRecord(const SettingsRecord& a, const SettingsRecord& b) {
  return a.errorBeepMode == b.errorBeepMode && a.allowWhitespace == b.allowWhitespace &&
         a.executeOnFailure == b.executeOnFailure && a.caseInsensitive == b.caseInsensitive &&
         a.countingBase == b.countingBase &&
         std::u16string(a.customBeepFile) == std::u16string(b.customBeepFile);
}

class Persistence : public PluginTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(standin::OpenRegistryKeys(), 0) << "a key was left open";
    PluginTest::TearDown();
  }
};

TEST_F(Persistence, NoKeyUnderEitherRoot) {
  EXPECT_EQ(LoadSettings(win::CurrentUser()), 1);
  EXPECT_EQ(LoadSettings(win::LocalMachine()), 1);
  EXPECT_TRUE(SameRecord(PluginSettings, kDefaultSettings));
}

TEST_F(Persistence, CompleteKeyIsAppliedAndKeepsTheCustomFile) {
  text::Copy(PluginSettings.customBeepFile, kWaveFileCapacity, u"/earlier.wav");
  PutValues(win::CurrentUser(), 3, 1, 0, 0, 1);
  EXPECT_EQ(LoadSettings(win::CurrentUser()), 0);
  EXPECT_EQ(PluginSettings.errorBeepMode, 3u);
  EXPECT_EQ(PluginSettings.caseInsensitive, 1u);
  EXPECT_EQ(PluginSettings.allowWhitespace, 0u);
  EXPECT_EQ(PluginSettings.executeOnFailure, 0u);
  EXPECT_EQ(PluginSettings.countingBase, 1u);
  EXPECT_EQ(std::u16string(PluginSettings.customBeepFile), u"/earlier.wav");
}

TEST_F(Persistence, OneBadValueAppliesNothing) {
  struct Case {
    const char* what;
    void (*spoil)();
    int bad;
  } cases[] = {
      {"counting base 2", [] { PutRegistryDword(win::CurrentUser(), kKey, u"Counting Base", 2); },
       1},
      {"mode 7", [] { PutRegistryDword(win::CurrentUser(), kKey, u"Error Beep Mode", 7); }, 1},
      {"string", [] { PutRegistryString(win::CurrentUser(), kKey, u"Counting Base", u"1"); }, 1},
      {"eight-byte dword",
       [] {
         PutRegistryValue(win::CurrentUser(), kKey, u"Allow Whitespace", win::kRegDword,
                          {1, 0, 0, 0, 0, 0, 0, 0});
       },
       1},
      {"two-byte dword",
       [] {
         PutRegistryValue(win::CurrentUser(), kKey, u"Allow Whitespace", win::kRegDword, {1, 0});
       },
       1},
      {"binary",
       [] {
         PutRegistryValue(win::CurrentUser(), kKey, u"Case Insensitive", win::kRegBinary,
                          {1, 0, 0, 0});
       },
       1},
      {"two out of range",
       [] {
         PutRegistryDword(win::CurrentUser(), kKey, u"Case Insensitive", 0xFFFFFFFF);
         PutRegistryDword(win::CurrentUser(), kKey, u"Execute on Failure", 5);
       },
       2},
  };
  for (const Case& c : cases) {
    standin::ResetRegistry();
    PluginSettings = kDefaultSettings;
    PutValues(win::CurrentUser(), 2, 1, 0, 0, 1);
    c.spoil();
    EXPECT_EQ(LoadSettings(win::CurrentUser()), c.bad) << c.what;
    EXPECT_TRUE(SameRecord(PluginSettings, kDefaultSettings)) << c.what;
  }
}

TEST_F(Persistence, EmptyKeyCountsFiveBadValues) {
  standin::CreateRegistryKey(win::CurrentUser(), kKey);
  EXPECT_EQ(LoadSettings(win::CurrentUser()), 5);
  EXPECT_TRUE(SameRecord(PluginSettings, kDefaultSettings));
}

TEST_F(Persistence, CustomModeNeedsAValidFile) {
  const std::u16string wave = MakeFile(u"ding.wav");
  PutValues(win::CurrentUser(), 6, 0, 1, 1, 0);
  PutRegistryString(win::CurrentUser(), kKey, u"Error Beep Filename", wave);
  EXPECT_EQ(LoadSettings(win::CurrentUser()), 0);
  EXPECT_EQ(PluginSettings.errorBeepMode, 6u);
  EXPECT_EQ(std::u16string(PluginSettings.customBeepFile), wave);

  // Without a stored name, mode 6 survives only while the file in memory is valid.
  PutValues(win::LocalMachine(), 6, 0, 1, 1, 0);
  EXPECT_EQ(LoadSettings(win::LocalMachine()), 0);
  EXPECT_EQ(PluginSettings.errorBeepMode, 6u);
  PluginSettings = kDefaultSettings;
  EXPECT_EQ(LoadSettings(win::LocalMachine()), 0);
  EXPECT_EQ(PluginSettings.errorBeepMode, 1u);
}

TEST_F(Persistence, StoredFileNamesThatAreIgnored) {
  const std::u16string dir = TempDir() + u"/";
  const size_t fill = 255 - dir.size() - 4;
  const std::u16string longest = MakeFile(std::u16string(fill, u'a') + u".wav");
  const std::u16string tooLong = MakeFile(std::u16string(fill + 1, u'a') + u".wav");
  const std::u16string wave = MakeFile(u"ding.wav");
  struct Case {
    const char* what;
    uint32_t type;
    std::u16string name;
    bool taken;
  } cases[] = {
      {"255 units", win::kRegSz, longest, true},
      {"256 units", win::kRegSz, tooLong, false},
      {"expandable string", win::kRegExpandSz, wave, false},
      {"missing file", win::kRegSz, dir + u"missing.wav", false},
      {"directory", win::kRegSz, dir, false},
      {"empty", win::kRegSz, u"", false},
  };
  for (const Case& c : cases) {
    standin::ResetRegistry();
    PluginSettings = kDefaultSettings;
    PutValues(win::CurrentUser(), 6, 0, 1, 1, 0);
    std::vector<uint8_t> bytes;
    for (char16_t u : c.name + u'\0') {
      bytes.push_back(uint8_t(u));
      bytes.push_back(uint8_t(u >> 8));
    }
    PutRegistryValue(win::CurrentUser(), kKey, u"Error Beep Filename", c.type, bytes);
    EXPECT_EQ(LoadSettings(win::CurrentUser()), 0) << c.what;
    EXPECT_EQ(std::u16string(PluginSettings.customBeepFile), c.taken ? c.name : u"") << c.what;
    EXPECT_EQ(PluginSettings.errorBeepMode, c.taken ? 6u : 1u) << c.what;
  }
}

TEST_F(Persistence, SaveThenLoadReproducesTheRecord) {
  const std::u16string wave = MakeFile(u"ding.wav");
  SettingsRecord saved = {6, 0, 0, 1, 1, {}};
  text::Copy(saved.customBeepFile, kWaveFileCapacity, wave.c_str());
  PluginSettings = saved;
  EXPECT_EQ(SaveSettings(win::LocalMachine()), 0);

  standin::RegistryValue value;
  ASSERT_TRUE(standin::GetRegistryValue(win::LocalMachine(), kKey, u"Error Beep Filename", &value));
  EXPECT_EQ(value.type, win::kRegSz);
  EXPECT_EQ(value.data.size(), (wave.size() + 1) * 2);
  ASSERT_TRUE(standin::GetRegistryValue(win::LocalMachine(), kKey, u"Counting Base", &value));
  EXPECT_EQ(value.type, win::kRegDword);
  EXPECT_EQ(value.data, (std::vector<uint8_t>{1, 0, 0, 0}));

  PluginSettings = kDefaultSettings;
  EXPECT_EQ(LoadSettings(win::LocalMachine()), 0);
  EXPECT_TRUE(SameRecord(PluginSettings, saved));
  EXPECT_FALSE(standin::RegistryKeyExists(win::CurrentUser(), kKey));
}

// Without a valid file the save removes the file name: a value that is gone, or was never
// there, is a success; a removal the registry refuses fails the save with its status, as the
// old name would come back at the next load.
TEST_F(Persistence, SavingWithoutAValidFileDeletesTheFileValue) {
  const struct {
    bool present;
    int32_t fault;
    int result;
  } rows[] = {{true, 0, 0}, {false, 0, 0}, {true, 5, 5}, {true, 1018, 1018}, {false, 2, 0}};
  for (const auto& row : rows) {
    standin::ResetRegistry();
    if (row.present) PutRegistryString(win::CurrentUser(), kKey, u"Error Beep Filename", u"/a.wav");
    standin::FailValueDelete(u"Error Beep Filename", row.fault);
    EXPECT_EQ(SaveSettings(win::CurrentUser()), row.result) << row.present << " " << row.fault;
    standin::RegistryValue value;
    EXPECT_EQ(standin::GetRegistryValue(win::CurrentUser(), kKey, u"Error Beep Filename", &value),
              row.present && row.fault != 0);
  }
}

TEST_F(Persistence, FailingWritesStillWriteTheRest) {
  standin::FailValueWrite(u"Error Beep Mode", 5);
  standin::FailValueWrite(u"Execute on Failure", 1009);
  PluginSettings.countingBase = 1;
  EXPECT_EQ(SaveSettings(win::CurrentUser()), 1009);  // the last failure
  standin::RegistryValue value;
  EXPECT_FALSE(standin::GetRegistryValue(win::CurrentUser(), kKey, u"Error Beep Mode", &value));
  ASSERT_TRUE(standin::GetRegistryValue(win::CurrentUser(), kKey, u"Counting Base", &value));
  EXPECT_EQ(value.data, (std::vector<uint8_t>{1, 0, 0, 0}));

  // The file name is written last: its failure is the one reported.
  const std::u16string wave = MakeFile(u"ding.wav");
  text::Copy(PluginSettings.customBeepFile, kWaveFileCapacity, wave.c_str());
  standin::FailValueWrite(u"Error Beep Filename", 1392);
  EXPECT_EQ(SaveSettings(win::CurrentUser()), 1392);
}

// The values are written in one fixed order, the one every earlier version wrote: of two
// failing writes, the later one's status is reported.
TEST_F(Persistence, ValuesAreWrittenInTheirOrder) {
  const char16_t* const order[] = {u"Error Beep Mode", u"Case Insensitive", u"Allow Whitespace",
                                   u"Execute on Failure", u"Counting Base"};
  for (size_t i = 0; i + 1 < std::size(order); ++i) {
    for (const char16_t* name : order) standin::FailValueWrite(name, 0);
    standin::FailValueWrite(order[i + 1], 1000);
    standin::FailValueWrite(order[i], 1001);
    EXPECT_EQ(SaveSettings(win::CurrentUser()), 1000) << Show(order[i]);
  }
}

TEST_F(Persistence, KeyThatCannotBeCreatedOrOpened) {
  standin::FailKeyCreate(5);
  EXPECT_EQ(SaveSettings(win::CurrentUser()), 5);  // the platform's status, as it gave it
  EXPECT_FALSE(standin::RegistryKeyExists(win::CurrentUser(), kKey));
  PutValues(win::CurrentUser(), 2, 0, 1, 1, 0);
  standin::FailKeyOpen(5);
  EXPECT_EQ(LoadSettings(win::CurrentUser()), 1);
  EXPECT_TRUE(SameRecord(PluginSettings, kDefaultSettings));
}

TEST_F(Persistence, ResetKeepsTheCustomFile) {
  PluginSettings = {6, 0, 0, 1, 1, {}};
  text::Copy(PluginSettings.customBeepFile, kWaveFileCapacity, u"/x.wav");
  ResetSettings();
  SettingsRecord expected = kDefaultSettings;
  text::Copy(expected.customBeepFile, kWaveFileCapacity, u"/x.wav");
  EXPECT_TRUE(SameRecord(PluginSettings, expected));
}

TEST_F(Persistence, StandInQueryResults) {
  PutRegistryValue(win::CurrentUser(), kKey, u"Long", win::kRegBinary, {1, 2, 3, 4, 5, 6});
  win::HKEY key = nullptr;
  ASSERT_EQ(win::RegOpenKeyExW(win::CurrentUser(), kSettingsKeyPath, 0, win::kKeyRead, &key), 0);
  uint8_t data[4] = {9, 9, 9, 9};
  uint32_t type = 0;
  uint32_t size = sizeof data;
  EXPECT_EQ(win::RegQueryValueExW(key, u"Long", nullptr, &type, data, &size), win::kErrorMoreData);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, win::kRegBinary);
  type = 77;
  size = sizeof data;
  EXPECT_EQ(win::RegQueryValueExW(key, u"Absent", nullptr, &type, data, &size),
            win::kErrorFileNotFound);
  EXPECT_EQ(type, 77u);
  EXPECT_EQ(win::RegDeleteValueW(key, u"Absent"), win::kErrorFileNotFound);
  EXPECT_EQ(win::RegCloseKey(key), 0);
  EXPECT_EQ(win::RegOpenKeyExW(win::LocalMachine(), kSettingsKeyPath, 0, win::kKeyRead, &key),
            win::kErrorFileNotFound);
  EXPECT_TRUE(standin::RegistryKeyExists(win::CurrentUser(), u"Software\\Velloran"));
}

class RegistryFile : public Persistence {
 protected:
  std::string Path() { return standin::ToUtf8(TempDir()) + "/registry"; }
  void TearDown() override {
    standin::UseRegistryFile("");
    Persistence::TearDown();
  }
};

TEST_F(RegistryFile, SavedSettingsSurviveARestart) {
  ASSERT_TRUE(standin::UseRegistryFile(Path()));
  PluginSettings.countingBase = 1;
  PluginSettings.errorBeepMode = 4;
  ASSERT_EQ(SaveSettings(win::CurrentUser()), 0);
  PutRegistryValue(win::CurrentUser(), kKey, u"Odd \"one\"", 3, {0xAB, 0x00});
  PutRegistryString(win::LocalMachine(), kKey, u"Name", u"C:\\x \u00E9.wav");
  // A byte that is not UTF-8 (its escape) is a byte of the file; a lone surrogate is not.
  PutRegistryString(win::LocalMachine(), kKey, u"Odd", u"caf\xdce9 \xd800");

  standin::ResetRegistry();
  PluginSettings = kDefaultSettings;
  ASSERT_TRUE(standin::UseRegistryFile(Path()));
  EXPECT_EQ(LoadSettings(win::CurrentUser()), 0);
  EXPECT_EQ(PluginSettings.countingBase, 1u);
  EXPECT_EQ(PluginSettings.errorBeepMode, 4u);
  standin::RegistryValue value;
  ASSERT_TRUE(standin::GetRegistryValue(win::CurrentUser(), kKey, u"Odd \"one\"", &value));
  EXPECT_EQ(value.type, 3u);
  EXPECT_EQ(value.data, (std::vector<uint8_t>{0xAB, 0x00}));
  ASSERT_TRUE(standin::GetRegistryValue(win::LocalMachine(), kKey, u"NAME", &value));
  EXPECT_EQ(value.data.size(), 2 * 11u);  // ten units and the terminator
  ASSERT_TRUE(standin::GetRegistryValue(win::LocalMachine(), kKey, u"Odd", &value));
  EXPECT_EQ(value.type, win::kRegSz);
  EXPECT_EQ(value.data,
            (std::vector<uint8_t>{'c', 0, 'a', 0, 'f', 0, 0xe9, 0xdc, ' ', 0, 0x00, 0xd8, 0, 0}));

  std::ifstream in(Path());
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("[HKCU\\Software\\Velloran\\Quorvin]\n"), std::string::npos);
  EXPECT_NE(text.str().find("\"Error Beep Mode\"=dword:00000004\n"), std::string::npos);
}

TEST_F(RegistryFile, DamagedFileIsAnEmptyStoreWithAWarning) {
  for (const char* content : {"[HKCU\\Software]\n\"x\"=dword:zz\n", "garbage\n",
                              "[HKXX\\Software]\n", "[HKCU\\S]\n\"x\"=hex(4):01,0\n"}) {
    std::ofstream(Path()) << content;
    PutRegistryDword(win::CurrentUser(), u"Before", u"v", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(standin::UseRegistryFile(Path())) << content;
    const std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find("damaged or unreadable"), std::string::npos) << content;
    EXPECT_FALSE(standin::RegistryKeyExists(win::CurrentUser(), u"Before")) << content;
    standin::UseRegistryFile("");
    standin::ResetRegistry();
  }
}

}  // namespace
