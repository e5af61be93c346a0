// Which keys expand a line (key codes with the modifier keys, key names from the shell's version
// on), what a failure does with the key, and the error beep of every mode.
#include "cases.h"
#include "platform/platform.h"

namespace {

using cases::kOneToFive;

// What a key does to a line that expands.
enum Outcome { Nothing, Executes, ExpandsOnly };

// The modifier keys held.
enum Held { kNone = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

struct Trigger {
  std::u16string version;  // what %_4ver expands to at start
  std::u16string name;     // the key name the shell passes
  int code;                // the key code the shell passes
  int held;                // Held bits
  Outcome outcome;
};

// Presses each row's key on "!!". The modifier keys are asked about on every key, in this
// order; a key that expands rewrites the line with the cursor at its end; one that expands only
// is swallowed, its name emptied; any other key goes on as it came. Nothing beeps.
void CheckTriggers(const std::vector<Trigger>& rows) {
  for (const Trigger& row : rows) {
    SCOPED_TRACE("_4ver " + ShowBrief(row.version) + " key " + std::to_string(row.code) +
                 " named " + ShowBrief(row.name) + ((row.held & kShift) ? " Shift" : "") +
                 ((row.held & kCtrl) ? " Ctrl" : "") + ((row.held & kAlt) ? " Alt" : ""));
    host::StartOn(row.version);
    host::SetKeyHeld(win::kVkShift, (row.held & kShift) != 0);
    host::SetKeyHeld(win::kVkControl, (row.held & kCtrl) != 0);
    host::SetKeyHeld(win::kVkMenu, (row.held & kAlt) != 0);
    host::TakeKeyQueries();
    const host::KeyResult r = host::Press(u"!!", row.code, row.name);
    const bool made = row.outcome != Nothing;
    EXPECT_TEXT(r.line, made ? u"echo hi" : u"!!");
    EXPECT_EQ(r.redraw, made ? 1 : 0);
    EXPECT_EQ(r.cursor, made ? 7 : 2);
    EXPECT_EQ(r.key, row.outcome == ExpandsOnly ? 0 : row.code);
    EXPECT_TEXT(r.keyName, row.outcome == ExpandsOnly ? u"" : row.name);
    EXPECT_TRUE(r.shellFieldsKept);
    EXPECT_EQ(host::TakeKeyQueries(),
              std::vector<int>({win::kVkShift, win::kVkControl, win::kVkMenu}));
  }
  EXPECT_EQ(host::HonkCount(), 0);
}

class Triggers : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::SetHistory({u"dir", u"echo hi"});
  }
};

// Before version 24 the key code decides, with the modifier keys: Shift-Enter is Enter with
// Shift alone or the shell's own code, with anything but Ctrl alone or Ctrl with Alt or Shift.
TEST_F(Triggers, KeyCodesWithModifierKeys) {
  CheckTriggers({
      {u"23", u"", 13, kNone, Executes},
      {u"23", u"", 13, kShift, ExpandsOnly},
      {u"23", u"", 13, kCtrl, Nothing},
      {u"23", u"", 13, kAlt, Nothing},
      {u"23", u"", 13, kShift | kCtrl, Nothing},
      {u"23", u"", 13, kCtrl | kAlt, Nothing},
      {u"23", u"", 13, kShift | kAlt, Nothing},
      {u"23", u"", 13, kShift | kCtrl | kAlt, Nothing},
      {u"23", u"", 0x80D, kNone, ExpandsOnly},
      {u"23", u"", 0x80D, kShift, ExpandsOnly},
      {u"23", u"", 0x80D, kCtrl, ExpandsOnly},
      {u"23", u"", 0x80D, kAlt, ExpandsOnly},
      {u"23", u"", 0x80D, kShift | kAlt, ExpandsOnly},
      {u"23", u"", 0x80D, kShift | kCtrl | kAlt, ExpandsOnly},
      {u"23", u"", 0x80D, kShift | kCtrl, Nothing},
      {u"23", u"", 0x80D, kCtrl | kAlt, Nothing},
      {u"23", u"", 13 | 0x20000, kNone, Nothing},
      {u"23", u"", 9, kNone, Nothing},
      {u"23", u"", 10, kNone, Nothing},
      {u"23", u"", 32, kShift, Nothing},
      {u"23", u"", 'a', kNone, Nothing},
      {u"23", u"", 0, kNone, Nothing},
  });
}

// From version 24 a key name decides, in any case, and neither the code nor the modifier keys
// play a part; an empty name leaves the code in charge. Before 24 names are never read.
TEST_F(Triggers, KeyNamesFromVersion24) {
  CheckTriggers({
      {u"24", u"Enter", 0, kNone, Executes},
      {u"24", u"Enter", 5, kCtrl | kAlt, Executes},
      {u"24", u"enter", 13, kCtrl, Executes},
      {u"24", u"enter", 13, kCtrl | kAlt, Executes},
      {u"24", u"Shift-Enter", 13, kNone, ExpandsOnly},
      {u"24", u"Shift-Enter", 13, kCtrl | kAlt, ExpandsOnly},
      {u"24", u"SHIFT-ENTER", 13, kCtrl | kAlt, ExpandsOnly},
      {u"24", u"SHIFT-ENTER", 77, kCtrl, ExpandsOnly},
      {u"24", u"Ctrl-Enter", 13, kNone, Nothing},
      {u"24", u"Ctrl-Enter", 13, kCtrl | kAlt, Nothing},
      {u"24", u"Tab", 13, kCtrl | kAlt, Nothing},
      {u"24", u"Enter ", 13, kNone, Nothing},
      {u"24", u"", 13, kNone, Executes},
      {u"24", u"", 0x80D, kNone, ExpandsOnly},
      {u"23", u"Enter", 0, kNone, Nothing},
      {u"23", u"Tab", 13, kNone, Executes},
  });
}

// The version is read at start: key names count from 24 to 100, read as a number the way the
// shell's own conversion reads it, however long the text.
TEST_F(Triggers, TheShellsVersionSwitchesToKeyNames) {
  const struct {
    std::u16string version;
    bool keyNames;
  } rows[] = {
      {u"28.02", true},
      {u"24", true},
      {u"24.0", true},
      {u"23", false},
      {u"23.0", false},
      {u"100", true},
      {u"101", false},
      {u"8", false},
      {u"7", false},
      {u"-5", false},
      {u"", false},
      {u"33abc", true},
      {u" 30", true},
      {u"+30", true},
      {u"4294967296", false},
      {u"4294967320", false},
      {u"0x20", false},
      {u"abc", false},
      {std::u16string(5000, u' ') + u"30", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE("_4ver " + ShowBrief(row.version));
    host::StartOn(row.version);
    EXPECT_TEXT(host::Press(u"!!", 0, u"Enter").line, row.keyNames ? u"echo hi" : u"!!");
    EXPECT_TEXT(host::Press(u"!!", 13, u"Ctrl-Enter").line, row.keyNames ? u"!!" : u"echo hi");
  }
}

// No event, no line or no key name: nothing is read through them.
TEST_F(Triggers, NullFieldsAreNoEventOrNoName) {
  EXPECT_EQ(host::key(nullptr), 0);
  KeyEvent event = {};
  event.key = kKeyEnter;
  EXPECT_EQ(host::key(&event), 0);
  EXPECT_EQ(event.key, kKeyEnter);
  EXPECT_EQ(event.redraw, 0);

  host::StartOn(u"28.02");  // key names would be read
  std::vector<char16_t> line(kLineCapacity, 0);
  line[0] = u'!';
  line[1] = u'!';
  event.line = line.data();
  event.cursor = line.data() + 2;
  event.keyName = nullptr;
  EXPECT_EQ(host::key(&event), 0);
  EXPECT_TEXT(line.data(), u"echo hi");
  EXPECT_EQ(event.key, kKeyEnter);
}

class Failure : public HostTest {};

// A failure leaves the line as typed and beeps; whether the key goes on is the /X setting, and
// a swallowed key's name is emptied on shells that name keys.
TEST_F(Failure, ExecuteOnFailureDecidesWhetherTheKeyGoesOn) {
  const struct {
    std::u16string options;
    std::u16string version;
    std::u16string name;  // passed with Enter's code
    int keyAfter;
    std::u16string nameAfter;
    int honks;
  } rows[] = {
      {u"/X1", u"23", u"", 13, u"", 1},          {u"/X0", u"23", u"", 0, u"", 1},
      {u"/X0", u"23", u"Enter", 0, u"Enter", 1}, {u"/X1", u"28", u"Enter", 13, u"Enter", 1},
      {u"/X0", u"28", u"Enter", 0, u"", 1},      {u"/X0 /B0", u"23", u"", 0, u"", 0},
      {u"/X1 /B0", u"23", u"", 13, u"", 0},      {u"/X1 /B0", u"28", u"Enter", 13, u"Enter", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(ShowBrief(row.options) + " _4ver " + ShowBrief(row.version) + " named " +
                 ShowBrief(row.name));
    ASSERT_TRUE(host::ResetWorld());
    host::StartOn(row.version);
    host::Set(row.options);
    host::SetHistory(kOneToFive);
    const host::KeyResult r = host::Press(u"!nothing", kKeyEnter, row.name);
    EXPECT_TEXT(r.line, u"!nothing");
    EXPECT_EQ(r.key, row.keyAfter);
    EXPECT_TEXT(r.keyName, row.nameAfter);
    EXPECT_EQ(r.redraw, 0);
    EXPECT_EQ(r.cursor, 8);
    EXPECT_EQ(host::HonkCount(), row.honks);
    EXPECT_EQ(host::ClearEditLineCount(), 0);
  }
}

class ErrorBeep : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::StartOn(u"23");
    host::SetHistory(kOneToFive);
  }
};

// Each mode of /B, and /W's file, asks for its sound at a failure, without waiting; the default
// is the shell's own beep.
TEST_F(ErrorBeep, EveryModeRequestsItsSound) {
  const std::u16string wave = host::MakeFile(u"ding.wav");
  const struct {
    std::u16string options;
    int honks;
    uint16_t alias;  // 0: no alias
    bool file;
  } rows[] = {
      {u"/B0", 0, 0, false},
      {u"/B1", 1, 0, false},
      {u"/B2", 0, 0x2A53, false},
      {u"/B3", 0, 0x2153, false},
      {u"/B4", 0, 0x4853, false},
      {u"/B5", 0, 0x3F53, false},
      {u"\"/W:" + wave + u"\"", 0, 0, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(ShowBrief(row.options));
    host::Set(row.options);
    const int honks = host::HonkCount();
    host::Press(u"!nothing");
    EXPECT_EQ(host::HonkCount(), honks + row.honks);
    const std::vector<host::Sound> sounds = host::TakeSounds();
    ASSERT_EQ(sounds.size(), (row.alias != 0 || row.file) ? 1u : 0u);
    if (sounds.empty()) continue;
    EXPECT_EQ(sounds[0].module, nullptr);
    if (row.file) {
      EXPECT_TEXT(sounds[0].file, wave);
      EXPECT_EQ(sounds[0].flags, 0x20001u);  // SND_FILENAME | SND_ASYNC
    } else {
      EXPECT_EQ(sounds[0].alias, row.alias);
      EXPECT_EQ(sounds[0].flags, 0x110003u);  // SND_ALIAS_ID | SND_NODEFAULT | SND_ASYNC
    }
  }
}

TEST_F(ErrorBeep, CustomFileThatVanishedHonks) {
  const std::u16string wave = host::MakeFile(u"gone.wav");
  host::Set(u"\"/W:" + wave + u"\"");
  ASSERT_TRUE(host::RemoveFile(wave));
  host::Press(u"!nothing");
  EXPECT_EQ(host::HonkCount(), 1);
  EXPECT_TRUE(host::TakeSounds().empty());
}

TEST_F(ErrorBeep, ASuccessfulExpansionIsSilent) {
  host::Set(u"/B2");
  host::Press(u"!!");
  host::Press(u"!!:s/five/six/");
  EXPECT_TRUE(host::TakeSounds().empty());
  EXPECT_EQ(host::HonkCount(), 0);
}

}  // namespace
