// The entry points: identity, load banner, the shell's version and the settings at start-up.
#include "fixture.h"

namespace {

class Entry : public PluginTest {};

TEST_F(Entry, IdentityRecord) {
  PluginInfo* info = GetPluginInfo();
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(std::u16string(info->name), u"Quorvin");
  EXPECT_EQ(std::u16string(info->author), u"Brasklund");
  EXPECT_EQ(std::u16string(info->description), u"Access command history with a bang!");
  EXPECT_EQ(std::u16string(info->functions), u"quorv,*key");
  EXPECT_EQ(info->major, 0);
  EXPECT_EQ(info->minor, 70);
  EXPECT_EQ(info->build, 0);
  EXPECT_NE(std::u16string(info->email).find(u'@'), std::u16string::npos);
  EXPECT_EQ(GetPluginInfo(), info);
  EXPECT_EQ(ShutdownPlugin(), 0);
}

TEST_F(Entry, BannerOnlyWhenTheStateExpandsToExactly00) {
  const std::u16string hugeText(5000, u'm');  // longer than the plugin's buffers once were
  const char16_t* huge = hugeText.c_str();
  struct Case {
    const char16_t* transient;
    const char16_t* pipe;
    const char16_t* noloadmsg;  // null: no such variable
    bool banner;
  } cases[] = {
      {u"0", u"0", nullptr, true}, {u"0", u"0", u"", true},      {u"0", u"0", u"0", false},
      {u"0", u"", nullptr, false}, {u"0", u"1", nullptr, false}, {u"1", u"0", nullptr, false},
      {u"0", u"0", u"x", false},   {u"00", u"", nullptr, true},  {u"0", u"01", nullptr, false},
      {u"0", u"0", huge, false},
  };
  for (const Case& c : cases) {
    standin::Reset();
    standin::SetVariable(u"_transient", c.transient);
    standin::SetVariable(u"_pipe", c.pipe);
    if (c.noloadmsg != nullptr) standin::SetVariable(u"noloadmsg", c.noloadmsg);
    EXPECT_EQ(InitializePlugin(), 0);
    EXPECT_EQ(standin::TakeStdout(), c.banner ? u"Quorvin v0.70.0 loaded.\r\n" : u"")
        << Show(c.transient) << "|" << Show(c.pipe) << "|"
        << (c.noloadmsg ? Show(c.noloadmsg) : "(none)");
    EXPECT_EQ(standin::TakeStderr(), u"");
  }
}

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

TEST_F(Entry, VersionSwitchesTheKeystrokeHandlerToKeyNames) {
  standin::SetHistory({u"dir"});
  standin::SetVariable(u"_4ver", u"23.0");
  InitializePlugin();
  EXPECT_EQ(PressKey(u"!!", 0, u"Enter").line, u"!!");
  standin::SetVariable(u"_4ver", u"24.0");
  InitializePlugin();
  EXPECT_EQ(PressKey(u"!!", 0, u"Enter").line, u"dir");
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
