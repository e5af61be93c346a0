// The keystroke trigger (key codes, modifier keys, key names) and the expansion driver's
// success and failure paths.
#include "fixture.h"

namespace {

enum Outcome { Nothing, Executes, ExpandsOnly };

class Keystroke : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    standin::SetHistory({u"dir", u"echo hi"});
  }

  // What a key does to the line "!!".
  Outcome Classify(int keyCode, const std::u16string& keyName = u"") {
    KeyResult r = PressKey(u"!!", keyCode, keyName);
    if (r.line == u"!!") {
      EXPECT_EQ(r.key, keyCode);
      EXPECT_EQ(r.redraw, 0);
      return Nothing;
    }
    EXPECT_EQ(r.line, u"echo hi");
    EXPECT_EQ(r.redraw, 1);
    EXPECT_EQ(r.cursor, 7);
    return r.key == 0 ? ExpandsOnly : Executes;
  }

  void Hold(bool shift, bool ctrl, bool alt) {
    standin::SetKeyHeld(win::kVkShift, shift);
    standin::SetKeyHeld(win::kVkControl, ctrl);
    standin::SetKeyHeld(win::kVkMenu, alt);
  }
};

TEST_F(Keystroke, KeyCodesWithModifierKeys) {
  struct Case {
    int code;
    bool shift, ctrl, alt;
    Outcome outcome;
  } cases[] = {
      {13, false, false, false, Executes},      {13, true, false, false, ExpandsOnly},
      {13, false, true, false, Nothing},        {13, false, false, true, Nothing},
      {13, true, true, false, Nothing},         {13, false, true, true, Nothing},
      {13, true, false, true, Nothing},         {0x80D, false, false, false, ExpandsOnly},
      {0x80D, true, false, false, ExpandsOnly}, {0x80D, false, true, false, ExpandsOnly},
      {0x80D, true, true, false, Nothing},      {0x80D, false, true, true, Nothing},
      {0x80D, true, true, true, ExpandsOnly},   {9, false, false, false, Nothing},
      {'a', false, false, false, Nothing},      {0, false, false, false, Nothing},
  };
  for (const Case& c : cases) {
    Hold(c.shift, c.ctrl, c.alt);
    EXPECT_EQ(Classify(c.code), c.outcome)
        << "code " << c.code << " shift " << c.shift << " ctrl " << c.ctrl << " alt " << c.alt;
  }
}

TEST_F(Keystroke, KeyNamesDecideOnShells24AndLater) {
  HostMajorVersion = 24;
  Hold(false, true, true);                     // modifiers play no part with key names
  EXPECT_EQ(Classify(5, u"Enter"), Executes);  // the code is not looked at
  EXPECT_EQ(Classify(13, u"enter"), Executes);
  EXPECT_EQ(Classify(13, u"SHIFT-ENTER"), ExpandsOnly);
  EXPECT_EQ(Classify(13, u"Ctrl-Enter"), Nothing);
  EXPECT_EQ(Classify(13, u"Tab"), Nothing);

  // Swallowing empties the key name too.
  KeyResult r = PressKey(u"!!", 13, u"Shift-Enter");
  EXPECT_EQ(r.keyName, u"");

  // An empty name falls back to the key code.
  Hold(false, false, false);
  EXPECT_EQ(Classify(13, u""), Executes);
  EXPECT_EQ(Classify(0x80D, u""), ExpandsOnly);

  // Version 23 never reads names.
  HostMajorVersion = 23;
  EXPECT_EQ(Classify(0, u"Enter"), Nothing);
  EXPECT_EQ(Classify(13, u"Tab"), Executes);
}

TEST_F(Keystroke, LinesNotBeginningWithABangAreNeverTouched) {
  for (const char16_t* line : {u"dir", u" !!", u"\t!1", u"", u"echo !!"}) {
    KeyResult r = PressKey(line);
    EXPECT_EQ(r.line, line) << Show(line);
    EXPECT_EQ(r.key, 13);
    EXPECT_EQ(r.redraw, 0);
  }
  EXPECT_EQ(standin::HonkCount(), 0);
  EXPECT_EQ(standin::ClearEditLineCount(), 0);
}

TEST_F(Keystroke, NullEventsAndLinesAreNoEvent) {
  EXPECT_EQ(key(nullptr), 0);
  KeyEvent event{};
  event.key = 13;
  EXPECT_EQ(key(&event), 0);
  EXPECT_EQ(event.key, 13);
  EXPECT_EQ(event.redraw, 0);
}

TEST_F(Keystroke, SuccessClearsTheLineAndLeavesOtherFieldsAlone) {
  char16_t line[kLineCapacity] = u"!0";
  char16_t name[8] = u"";
  KeyEvent event{};
  event.key = 13;
  event.startRow = 1;
  event.startColumn = 2;
  event.currentRow = 3;
  event.currentColumn = 4;
  event.line = line;
  event.cursor = line + 2;
  event.keyName = name;
  key(&event);
  EXPECT_EQ(std::u16string(line), u"dir");
  EXPECT_EQ(event.cursor, line + 3);
  EXPECT_EQ(event.key, 13);
  EXPECT_EQ(event.redraw, 1);
  EXPECT_EQ(event.startRow + event.startColumn + event.currentRow + event.currentColumn, 10);
  EXPECT_EQ(standin::ClearEditLineCount(), 1);
}

TEST_F(Keystroke, FailurePathBySettings) {
  struct Case {
    uint32_t executeOnFailure;
    uint32_t beepMode;
    int keyAfter;
    int honks;
  } cases[] = {
      {1, BeepDefault, 13, 1},
      {0, BeepDefault, 0, 1},
      {1, BeepNone, 13, 0},
      {0, BeepNone, 0, 0},
  };
  for (const Case& c : cases) {
    standin::Reset();
    PluginSettings.executeOnFailure = c.executeOnFailure;
    PluginSettings.errorBeepMode = c.beepMode;
    KeyResult r = PressKey(u"!!");  // empty history
    EXPECT_EQ(r.line, u"!!");
    EXPECT_EQ(r.key, c.keyAfter) << c.executeOnFailure << " " << c.beepMode;
    EXPECT_EQ(r.redraw, 0);
    EXPECT_EQ(r.cursor, 2);
    EXPECT_EQ(standin::HonkCount(), c.honks);
    EXPECT_EQ(standin::ClearEditLineCount(), 0);
  }
}

TEST_F(Keystroke, FailureSwallowsTheKeyNameOnlyInKeyNameMode) {
  PluginSettings.executeOnFailure = 0;
  HostMajorVersion = 28;
  KeyResult r = PressKey(u"!nothing", 13, u"Enter");
  EXPECT_EQ(r.key, 0);
  EXPECT_EQ(r.keyName, u"");
  HostMajorVersion = 0;
  r = PressKey(u"!nothing", 13, u"Enter");
  EXPECT_EQ(r.key, 0);
  EXPECT_EQ(r.keyName, u"Enter");
}

TEST_F(Keystroke, TheWholeLineCapacityIsWritten) {
  const std::u16string longest(kLineCapacity - 1, u'z');
  standin::SetHistory({longest});
  KeyResult r = PressKey(u"!!");
  EXPECT_EQ(r.line, longest);
  EXPECT_EQ(r.cursor, static_cast<long>(kLineCapacity - 1));
}

// ==== Bash mode ====

class BashModeKeys : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    standin::SetHistory({u"dir", u"echo one two"});
  }
  void Mode(const char16_t* value) {
    if (value == nullptr) {
      standin::RemoveVariable(u"QUORVIN_EXPAND");
    } else {
      standin::SetVariable(u"QUORVIN_EXPAND", value);
    }
  }
};

// The variable is read at every Enter: "bash" in any case turns the mode on, anything else
// leaves the default, which does not touch a line that does not begin with '!'.
TEST_F(BashModeKeys, TheShellVariableSwitchesAtEveryEnter) {
  const struct {
    const char16_t* value;
    bool on;
  } cases[] = {{nullptr, false}, {u"bash", true},   {u"BASH", true}, {u"", false},
               {u"Bash", true},  {u"bash ", false}, {u"zsh", false}, {u"bAsH", true}};
  for (const auto& c : cases) {
    Mode(c.value);
    const KeyResult r = PressKey(u"echo !$");
    EXPECT_EQ(r.line, c.on ? u"echo two" : u"echo !$") << Show(c.value ? c.value : u"(unset)");
    EXPECT_EQ(r.redraw, c.on ? 1 : 0);
  }
  EXPECT_EQ(standin::HonkCount(), 0);
}

// A line the default rules expand gives the same line in bash mode, even where bash's own
// rules would read it otherwise (a blank after the bang, Quorvin's numbering).
TEST_F(BashModeKeys, DefaultRulesComeFirst) {
  for (const char16_t* line : {u"!!", u"! 1", u"!0", u"!-9", u"!+0", u"!0x1", u"!ec", u"!?two",
                               u"!!:s/one/1/:s/two/2/", u"!d:s/i/o"}) {
    Mode(nullptr);
    const KeyResult plain = PressKey(line);
    Mode(u"bash");
    const KeyResult bash = PressKey(line);
    EXPECT_EQ(plain.redraw, 1) << Show(line);
    EXPECT_EQ(bash.line, plain.line) << Show(line);
  }
}

// Lines the default rules fail or leave alone: bash's rules; :p only puts the line up; a line
// with no reference left runs as typed without a beep; a failure takes the failure path.
TEST_F(BashModeKeys, OtherLinesFollowBashRules) {
  Mode(u"bash");
  enum Outcome { Expands, PutsUp, Untouched, Fails };
  const struct {
    const char16_t* line;
    Outcome outcome;
    const char16_t* result;
  } cases[] = {
      {u"sudo !!", Expands, u"sudo echo one two"},
      {u"!! x", Expands, u"echo one two x"},
      {u"^one^1", Expands, u"echo 1 two"},
      {u"!!:s/one/1/ !$", Expands, u"echo 1 two two"},
      {u"echo !!:p", PutsUp, u"echo echo one two"},
      {u"echo \"hi!\"", Untouched, nullptr},
      {u"del *[!0-9].bak", Untouched, nullptr},
      {u"!", Fails, nullptr},  // the default rules fail it, and bash's find nothing to expand
      {u"!=x", Fails, nullptr},
      {u"echo !nothing", Fails, nullptr},
      {u"!!:5", Fails, nullptr},
      {u"^zz^y", Fails, nullptr},
  };
  int fails = 0;
  for (const auto& c : cases) {
    const KeyResult r = PressKey(c.line);
    const bool rewritten = c.outcome == Expands || c.outcome == PutsUp;
    EXPECT_EQ(r.line, rewritten ? c.result : c.line) << Show(c.line);
    EXPECT_EQ(r.redraw, rewritten ? 1 : 0) << Show(c.line);
    EXPECT_EQ(r.key, c.outcome == PutsUp ? 0 : kKeyEnter) << Show(c.line);
    if (c.outcome == Fails) ++fails;
    EXPECT_EQ(standin::HonkCount(), fails) << Show(c.line);
  }
  // With /A0 /X0 the default rules fail "! 1", and bash mode keeps the key swallowed.
  PluginSettings.allowWhitespace = 0;
  PluginSettings.executeOnFailure = 0;
  const KeyResult r = PressKey(u"! 1");
  EXPECT_EQ(r.line, u"! 1");
  EXPECT_EQ(r.key, 0);
  EXPECT_EQ(standin::HonkCount(), fails + 1);
}

// A key other than Enter or Shift-Enter on a line with a bang anywhere is left alone in bash
// mode too, and Shift-Enter only puts the expansion up.
TEST_F(BashModeKeys, OnlyEnterAndShiftEnterExpand) {
  Mode(u"bash");
  EXPECT_EQ(PressKey(u"echo !$", 'x').redraw, 0);
  const KeyResult r = PressKey(u"echo !$", kKeyShiftEnter);
  EXPECT_EQ(r.line, u"echo two");
  EXPECT_EQ(r.key, 0);
  HostMajorVersion = 28;
  EXPECT_EQ(PressKey(u"echo !$", 0, u"Enter").line, u"echo two");
  EXPECT_EQ(PressKey(u"echo !$", 13, u"Escape").redraw, 0);
}

// ==== Tab, Space and verify ====

class InPlaceKeys : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    standin::SetHistory({u"dir", std::u16string(65000, u'z'), u"echo one two"});
  }
};

// Key x mode x cursor x outcome: the text before the cursor expands in place for Tab (swallowed)
// and Space (passed on); Enter expands the whole line and, with verify, stays on it. No reference,
// a failure or a line too long changes nothing; only Enter beeps.
TEST_F(InPlaceKeys, TabSpaceAndEnterInBothModes) {
  const std::u16string tail(65530, u'x');
  const std::vector<std::u16string> grep = {u"grep -rn foo src | less"};
  const std::vector<std::u16string> globs = {u"ls [abc]* ${HOME}"};
  const std::vector<std::u16string> cat = {u"echo cat a"};
  const std::vector<std::u16string> two = {u"echo foo bar baz", u"grep -rn foo src | less"};
  const std::u16string smile = u"\U0001F600";
  const struct {
    bool bash;
    int key;
    std::u16string line;
    long cursor;           // -1: the end
    const char16_t* made;  // the line afterwards; null: as typed
    long cursorAfter;      // where the cursor is left when the line is rewritten
    bool beep;
    const std::vector<std::u16string>* history = nullptr;  // null: the fixture's
    bool foldCase = false;
  } rows[] = {
      // Where people put the cursor: inside a reference that goes on after it, or inside a
      // character, nothing changes and the key goes on; :p and a trailing blank read a leading
      // :s as Enter reads it; a blank may belong to an open search or a bare :s; with verify a
      // failure stays on the line.
      {true, 9, u"^foo^bar^ -v", 5, nullptr, 0, false, &grep},
      {true, 9, u"!!:s/foo/bar/ x", 9, nullptr, 0, false, &grep},
      {false, 9, u"!!:s/foo/bar/ x", 9, nullptr, 0, false, &grep},
      {true, 9, u"echo !!:gs/o/" + smile + u"/ x", 14, nullptr, 0, false, &globs, true},
      {true, 13, u"!!:s/a/&b/", -1, u"echo c&bt a", 11, false, &cat},
      {true, 13, u"!!:s/a/&b/:p", -1, u"echo c&bt a", 11, false, &cat},
      {true, 13, u"!!:s/a/&b/ ", -1, u"echo c&bt a ", 12, false, &cat},
      {true, 32, u"echo !?foo", -1, nullptr, 0, false, &two},
      {true, 9, u"echo !?foo", -1, u"echo grep -rn foo src | less", 28, false, &two},
      {true, 32, u"!!:s", -1, nullptr, 0, false, &grep},
      {true, 13, u"vim !zzq", -1, nullptr, 0, true, &grep},
      {true, 9, u"!!:x", 2, nullptr, 0, false, &grep},     // bash reads :x as the reference's
      {true, 9, u"!gr.txt", 3, nullptr, 0, false, &grep},  // and the search text goes on
      {true, 9, u"!!$ x", 2, nullptr, 0, false, &grep},
      {true, 9, u"!!:s/o/0/:h", 9, nullptr, 0, false, &grep},
      {true, 9, u"echo !$:h x", 7, nullptr, 0, false, &grep},
      {true, 9, u"echo !$ x", 7, u"echo less x", 9, false, &grep},
      {false, 9, u"!!:x", 2, u"grep -rn foo src | less:x", 23, false, &grep},
      // The default rules: the text before the cursor is one reference.
      {false, 9, u"!!", -1, u"echo one two", 12, false},
      {false, 9, u"!! x", 2, u"echo one two x", 12, false},
      {false, 9, u"!1:s/z/y/" + std::u16string(600, u'x'), 9, nullptr, 0, false},  // too long
      {false, 9, u"dir", -1, nullptr, 0, false},
      {false, 9, u"!nosuch", -1, nullptr, 0, false},
      {false, 9, u"!!" + tail, 2, nullptr, 0, false},
      {false, 32, u"!!", -1, u"echo one two", 12, false},
      {false, 32, u"!! x", 2, u"echo one two x", 12, false},
      {false, 32, u"dir", -1, nullptr, 0, false},
      {false, 32, u"!nosuch", -1, nullptr, 0, false},
      {false, 32, u"!!" + tail, 2, nullptr, 0, false},
      {false, 32, u"!!:s/one/1", -1, nullptr, 0, false},  // its closing delimiter to come
      {false, 9, u"!!:s/one/1", -1, u"echo 1 two", 10, false},
      {false, 13, u"!!", -1, u"echo one two", 12, false},
      {false, 13, u"!! x", 2, nullptr, 0, true},  // Enter reads the whole line
      {false, 13, u"dir", -1, nullptr, 0, false},
      {false, 13, u"!nosuch", -1, nullptr, 0, true},
      {false, 13, u"!1:s/z/" + std::u16string(600, u'y') + u"/", -1, nullptr, 0, true},
      // Bash's rules, the default rules first.
      {true, 9, u"echo !$", -1, u"echo two", 8, false},
      {true, 9, u"echo !$ x", 7, u"echo two x", 8, false},
      {true, 9, u"!-1:0 x !$", 5, u"echo x !$", 4, false},
      {true, 9, u"echo hi", -1, nullptr, 0, false},
      {true, 9, u"echo !nosuch", -1, nullptr, 0, false},
      {true, 9, u"echo !1" + std::u16string(600, u'x'), 7, nullptr, 0, false},
      // A line that fills the shell's buffer to its last unit, unended: nothing is read past it.
      {true, 9, u"!-1:0" + std::u16string(kLineCapacity - 5, u'x'), 5, nullptr, 0, false},
      {true, 9, u"ls *[!ec].txt", 8, nullptr, 0, false},  // the ']' after the cursor counts
      {true, 32, u"echo ${!ec}", 10, nullptr, 0, false},
      {true, 32, u"echo !$", -1, u"echo two", 8, false},
      {true, 32, u"^one^1^ x", 7, u"echo 1 two x", 10, false},
      {true, 32, u"^one^1 x", 6, nullptr, 0, false},
      {true, 32, u"^one^1", -1, nullptr, 0, false},  // the new text may go on
      {true, 32, u"echo !nosuch", -1, nullptr, 0, false},
      {true, 32, u"echo two", -1, nullptr, 0, false},  // already expanded: ordinary text
      {true, 13, u"echo !$", 2, u"echo two", 8, false},
      {true, 13, u"echo !nosuch", -1, nullptr, 0, true},
      {true, 13, u"echo !1 !1", -1, nullptr, 0, true},
      {true, 13, u"echo hi!", -1, nullptr, 0, false},
  };
  standin::SetVariable(u"QUORVIN_KEYS", u"tab space verify");
  int beeps = 0;
  for (const auto& row : rows) {
    standin::RemoveVariable(u"QUORVIN_EXPAND");
    if (row.bash) standin::SetVariable(u"QUORVIN_EXPAND", u"bash");
    standin::SetHistory(row.history != nullptr ? *row.history
                                               : std::vector<std::u16string>{u"dir", std::u16string(65000, u'z'), u"echo one two"});
    PluginSettings.caseInsensitive = row.foldCase ? 1 : 0;
    const KeyResult r = PressKey(row.line, row.key, u"", row.cursor);
    const long typedCursor = row.cursor < 0 ? static_cast<long>(row.line.size()) : row.cursor;
    const bool rewritten = row.made != nullptr;
    SCOPED_TRACE(Show(row.line.substr(0, 40)) + " key " + std::to_string(row.key) +
                 (row.bash ? " bash" : ""));
    const std::u16string want = rewritten ? row.made : row.line;
    EXPECT_TRUE(r.line == want) << Show(r.line.substr(0, 60)) << " (" << r.line.size() << ")";
    EXPECT_EQ(r.cursor, rewritten ? row.cursorAfter : typedCursor);
    EXPECT_EQ(r.redraw, rewritten ? 1 : 0);
    // Tab is swallowed when it expands; with verify so is Enter, also when it fails; Space
    // always goes on.
    const bool swallowed = (rewritten && row.key != 32) || (row.beep && row.key == 13);
    EXPECT_EQ(r.key, swallowed ? 0 : row.key);
    if (row.beep) ++beeps;
    EXPECT_EQ(standin::HonkCount(), beeps);
  }
}

// Key names: "Tab" is swallowed with its name emptied, "Space" goes on with its name.
TEST_F(InPlaceKeys, KeyNamesOnShellsThatNameKeys) {
  HostMajorVersion = 28;
  standin::SetVariable(u"QUORVIN_KEYS", u"tab,space");
  KeyResult r = PressKey(u"!!", 0, u"Tab");
  EXPECT_EQ(r.line, u"echo one two");
  EXPECT_EQ(r.key, 0);
  EXPECT_EQ(r.keyName, u"");
  r = PressKey(u"!!", 0, u"space");
  EXPECT_EQ(r.line, u"echo one two");
  EXPECT_EQ(r.keyName, u"space");
  EXPECT_EQ(PressKey(u"!!", 9, u"Escape").redraw, 0);
  // The name decides before anything is read: a key named otherwise, whatever its code or first
  // letter, reads no variable on a line that does not begin with '!'.
  standin::SetVariable(u"QUORVIN_EXPAND", u"bash");
  const int reads = standin::ExpandVariablesCount();
  EXPECT_EQ(PressKey(u"echo !$", 32, u"S").redraw, 0);
  EXPECT_EQ(PressKey(u"echo !$", 9, u"Shift-Tab").redraw, 0);
  EXPECT_EQ(standin::ExpandVariablesCount(), reads);
  EXPECT_EQ(PressKey(u"echo !$", 0, u"SPACE").line, u"echo two");
}

// The switch: its words in any case, between blanks, tabs or commas; anything else is ignored.
// Unset, every key is as it was; Tab or Space on a line without '!' reads no variable.
TEST_F(InPlaceKeys, TheSwitchAndItsWords) {
  const struct {
    const char16_t* value;  // null: unset
    bool tab, space, verify;
  } rows[] = {
      {nullptr, false, false, false},        {u"", false, false, false},
      {u"TAB", true, false, false},          {u"Space,Tab", true, true, false},
      {u" verify\ttab ", true, false, true}, {u"tabs spaces", false, false, false},
      {u"tab;space", false, false, false},   {u"Verify", false, false, true},
  };
  for (const auto& row : rows) {
    if (row.value == nullptr) {
      standin::RemoveVariable(u"QUORVIN_KEYS");
    } else {
      standin::SetVariable(u"QUORVIN_KEYS", row.value);
    }
    SCOPED_TRACE(row.value == nullptr ? "unset" : Show(row.value));
    EXPECT_EQ(PressKey(u"!! x", 9, u"", 2).redraw, row.tab ? 1 : 0);
    EXPECT_EQ(PressKey(u"!! x", 32, u"", 2).redraw, row.space ? 1 : 0);
    EXPECT_EQ(PressKey(u"!!").key, row.verify ? 0 : kKeyEnter);
  }
  standin::SetVariable(u"QUORVIN_KEYS", u"tab space");
  standin::SetVariable(u"QUORVIN_EXPAND", u"bash");
  const int reads = standin::ExpandVariablesCount();
  for (int key : {9, 32, int{'a'}}) EXPECT_EQ(PressKey(u"dir /s *.txt", key).redraw, 0);
  EXPECT_EQ(PressKey(u"!xco", 'p').redraw, 0);
  EXPECT_EQ(standin::ExpandVariablesCount(), reads);
}

}  // namespace
