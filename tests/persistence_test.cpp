// Loading, saving and resetting the settings where only the native host can go (the tables both
// hosts run are in tests/cases/persistence.cpp): the count of bad values, the stand-in registry's
// faults and semantics, and its backing file.
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

class SettingsStore : public PluginTest {};

// The load counts every bad value of a damaged key (the shared table), and a key that is not
// there as one.
TEST_F(SettingsStore, LoadCountsTheBadValues) {
  for (const cases::DamagedKey& row : cases::kDamagedKeys) {
    SCOPED_TRACE(row.what);
    standin::ResetRegistry();
    PluginSettings = kDefaultSettings;
    cases::PutSettings(false, {2, 1, 1, 0, 0, u""});
    cases::PutSpoils(false, row.spoils);
    EXPECT_EQ(LoadSettings(win::CurrentUser()), static_cast<int>(row.spoils.size()));
    EXPECT_TRUE(SameRecord(PluginSettings, kDefaultSettings));
  }
  standin::ResetRegistry();
  EXPECT_EQ(LoadSettings(win::CurrentUser()), 1);
  EXPECT_EQ(LoadSettings(win::LocalMachine()), 1);
  EXPECT_TRUE(SameRecord(PluginSettings, kDefaultSettings));
}

TEST_F(SettingsStore, KeyThatCannotBeCreatedOrOpened) {
  standin::FailKeyCreate(5);
  EXPECT_EQ(SaveSettings(win::CurrentUser()), 5);  // the platform's status, as it gave it
  EXPECT_FALSE(standin::RegistryKeyExists(win::CurrentUser(), kKey));
  PutValues(win::CurrentUser(), 2, 0, 1, 1, 0);
  standin::FailKeyOpen(5);
  EXPECT_EQ(LoadSettings(win::CurrentUser()), 1);
  EXPECT_TRUE(SameRecord(PluginSettings, kDefaultSettings));
}

TEST_F(SettingsStore, ResetKeepsTheCustomFile) {
  PluginSettings = {6, 0, 0, 1, 1, {}};
  text::Copy(PluginSettings.customBeepFile, kWaveFileCapacity, u"/x.wav");
  ResetSettings();
  SettingsRecord expected = kDefaultSettings;
  text::Copy(expected.customBeepFile, kWaveFileCapacity, u"/x.wav");
  EXPECT_TRUE(SameRecord(PluginSettings, expected));
}

TEST_F(SettingsStore, StandInQueryResults) {
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

class RegistryFile : public SettingsStore {
 protected:
  std::string Path() { return standin::ToUtf8(TempDir()) + "/registry"; }
  void TearDown() override {
    standin::UseRegistryFile("");
    SettingsStore::TearDown();
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
