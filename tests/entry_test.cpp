// The start-up underneath the entry points: the shell's version as read, and the settings at
// start-up (identity, banner and the version's effect on keys: tests/cases).
#include "fixture.h"

namespace {

class Entry : public PluginTest {};

TEST_F(Entry, VersionProbe) {
  struct Case {
    const char16_t* text;
    int version;
  } cases[] = {
      // -4294967272 wraps to 24, as the unsigned conversion does.
      {u"7", 0},     {u"8", 8},          {u"100", 100},        {u"101", 0},
      {u"-5", 0},    {u"", 0},           {u"33abc", 33},       {u"28.02", 28},
      {u" +24", 24}, {u"4294967304", 0}, {u"-4294967272", 24}, {u"abc", 0},
  };
  for (const Case& c : cases) {
    HostMajorVersion = 55;
    standin::SetVariable(u"_4ver", c.text);
    ProbeHostVersion();
    EXPECT_EQ(HostMajorVersion, c.version) << Show(c.text);
  }
  // Read whole, however long the expansion.
  standin::SetVariable(u"_4ver", std::u16string(5000, u' ') + u"30");
  ProbeHostVersion();
  EXPECT_EQ(HostMajorVersion, 30);
}

TEST_F(Entry, StartUpPrefersTheUserKeyAndFallsBackAsAWhole) {
  auto put = [](win::HKEY root, uint32_t mode, uint32_t base) {
    standin::PutRegistryDword(root, kSettingsKeyPath, u"Error Beep Mode", mode);
    standin::PutRegistryDword(root, kSettingsKeyPath, u"Case Insensitive", 0);
    standin::PutRegistryDword(root, kSettingsKeyPath, u"Allow Whitespace", 1);
    standin::PutRegistryDword(root, kSettingsKeyPath, u"Execute on Failure", 1);
    standin::PutRegistryDword(root, kSettingsKeyPath, u"Counting Base", base);
  };
  put(win::CurrentUser(), 2, 1);
  put(win::LocalMachine(), 3, 0);
  InitializePlugin();
  EXPECT_EQ(PluginSettings.errorBeepMode, 2u);
  EXPECT_EQ(PluginSettings.countingBase, 1u);

  // An incomplete user key: the machine key is taken whole, nothing mixed.
  PluginSettings = kDefaultSettings;
  standin::PutRegistryString(win::CurrentUser(), kSettingsKeyPath, u"Counting Base", u"1");
  InitializePlugin();
  EXPECT_EQ(PluginSettings.errorBeepMode, 3u);
  EXPECT_EQ(PluginSettings.countingBase, 0u);

  // Neither usable: the defaults stay.
  PluginSettings = kDefaultSettings;
  standin::PutRegistryDword(win::LocalMachine(), kSettingsKeyPath, u"Counting Base", 9);
  InitializePlugin();
  EXPECT_EQ(PluginSettings.errorBeepMode, 1u);
}

}  // namespace
