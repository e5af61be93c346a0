// The error beep called directly, where no setting can lead, and the wave file test shared
// with the settings (the beep of every mode at a failed expansion: tests/cases/keystroke.cpp).
#include <unistd.h>

#include "common/utf.h"
#include "fixture.h"
#include "text/text.h"

namespace {

class Beep : public PluginTest {};

// A mode the settings command never stores (it refuses them) asks for no sound.
TEST_F(Beep, ModesPastTheLastAreRefused) {
  for (uint32_t mode : {7u, 0xFFFFFFFFu}) {
    PluginSettings.errorBeepMode = mode;
    EXPECT_EQ(PlayErrorBeep(), 87u) << mode;
    EXPECT_EQ(standin::HonkCount(), 0) << mode;
    EXPECT_TRUE(standin::TakeSoundRequests().empty()) << mode;
  }
}

TEST_F(Beep, CustomModePlaysAValidFileElseHonks) {
  PluginSettings.errorBeepMode = BeepCustom;
  EXPECT_EQ(PlayErrorBeep(), 0u);
  EXPECT_EQ(standin::HonkCount(), 1);  // empty file
  EXPECT_TRUE(standin::TakeSoundRequests().empty());

  const std::u16string wave = MakeFile(u"ding.wav");
  text::Copy(PluginSettings.customBeepFile, kWaveFileCapacity, wave.c_str());
  EXPECT_EQ(PlayErrorBeep(), 0u);
  std::vector<standin::SoundRequest> sounds = standin::TakeSoundRequests();
  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_EQ(sounds[0].file, wave);
  EXPECT_EQ(sounds[0].flags, 0x20001u);
  EXPECT_EQ(standin::HonkCount(), 1);
}

TEST_F(Beep, WaveFileNames) {
  MakeFile(u"ding.WAV");
  MakeFile(u"ding.wav.bak");
  MakeFile(u"ding.wave");
  MakeFile(u"ding.wa");
  MakeFile(u"ding.wav ");
  MakeDir(u"music.wav");
  MakeDir(u"dir.x");
  MakeFile(u"dir.x/ding.wav");
  MakeDir(u"sounds.d");
  MakeFile(u"sounds.d/ding");
  MakeDir(u"nul");
  for (const char16_t* name :
       {u"con.wav", u"CON..wav", u"con .wav", u"Com7.WAV", u"lpt1.x.wav", u"CONOUT$.wav",
        u"com0.wav", u"com10.wav", u"console.wav", u"nul/ding.wav", u"LPT9.wav"}) {
    MakeFile(name);  // ordinary files here; Windows opens the devices for the reserved names
  }
  const std::u16string dir = TempDir() + u"/";
  struct Case {
    std::u16string path;
    int valid;
  } cases[] = {
      {dir + u"ding.WAV", 1},       {dir + u"ding.wav.bak", 0},
      {dir + u"ding.wave", 0},      {dir + u"ding.wa", 0},
      {dir + u"ding.wav ", 0},      {dir + u"music.wav", 0},
      {dir + u"dir.x/ding.wav", 1}, {dir + u"sounds.d/ding", 0},
      {dir + u"missing.wav", 0},    {u"", 0},
      {u"/dev/null.wav", 0},        {u".wav", 0},
      {u"C:\\sounds.wav\\ding", 0}, {dir + u"con.wav", 0},
      {dir + u"CON..wav", 0},       {dir + u"con .wav", 0},
      {dir + u"Com7.WAV", 0},       {dir + u"lpt1.x.wav", 0},
      {dir + u"CONOUT$.wav", 0},    {u"C:\\x\\aux.wav", 0},
      {dir + u"com0.wav", 1},       {dir + u"com10.wav", 1},
      {dir + u"console.wav", 1},    {dir + u"nul/ding.wav", 1},
      {dir + u"LPT9.wav", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidWaveFile(c.path.c_str()), c.valid) << Show(c.path);
  }
  EXPECT_EQ(IsValidWaveFile(nullptr), 0);
}

TEST_F(Beep, LengthLimitIs255Units) {
  const std::u16string dir = TempDir() + u"/";
  const size_t fill = 255 - dir.size() - 4;  // the name without ".wav"
  const std::u16string longest = MakeFile(std::u16string(fill, u'a') + u".wav");
  ASSERT_EQ(longest.size(), 255u);
  EXPECT_EQ(IsValidWaveFile(longest.c_str()), 1);
  const std::u16string over = MakeFile(std::u16string(fill + 1, u'a') + u".wav");
  EXPECT_EQ(IsValidWaveFile(over.c_str()), 0);
}

TEST_F(Beep, DeviceIsRejected) {
  // A character device reached through a name ending in .wav.
  const std::u16string link = TempDir() + u"/null.wav";
  ASSERT_EQ(symlink("/dev/null", standin::ToUtf8(link).c_str()), 0);
  EXPECT_EQ(IsValidWaveFile(link.c_str()), 0);
}

TEST(BeepModeNames, Table) {
  const char16_t* names[] = {u"None",          u"Default Beep", u"Asterisk", u"Exclamation",
                             u"Critical Stop", u"Question",     u"Custom"};
  for (uint32_t i = 0; i < kBeepModeCount; ++i) {
    EXPECT_EQ(std::u16string(BeepModeNames[i]), names[i]);
  }
}

}  // namespace
