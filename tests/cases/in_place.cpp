// Bash mode as the keys see it (QUORVIN_EXPAND), and the keys that show an expansion before it
// runs (QUORVIN_KEYS): Tab and Space in place, and verify for Enter.
#include "cases.h"

namespace {

void BashMode(const char16_t* value) {
  if (value == nullptr) {
    host::RemoveVariable(u"QUORVIN_EXPAND");
  } else {
    host::SetVariable(u"QUORVIN_EXPAND", value);
  }
}

class BashModeKeys : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::StartOn(u"23");
    host::SetHistory({u"dir", u"echo one two"});
  }
};

// The variable is read at every Enter: "bash" in any case turns the mode on, anything else
// leaves the default, which does not touch a line that does not begin with '!'.
TEST_F(BashModeKeys, TheShellVariableSwitchesAtEveryEnter) {
  const struct {
    const char16_t* value;  // null: unset
    bool on;
  } rows[] = {{nullptr, false}, {u"bash", true},   {u"BASH", true}, {u"", false},
              {u"Bash", true},  {u"bash ", false}, {u"zsh", false}, {u"bAsH", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value != nullptr ? ShowBrief(row.value) : "(unset)");
    BashMode(row.value);
    const host::KeyResult r = host::Press(u"echo !$");
    EXPECT_TEXT(r.line, row.on ? u"echo two" : u"echo !$");
    EXPECT_EQ(r.redraw, row.on ? 1 : 0);
    EXPECT_EQ(r.key, kKeyEnter);
    EXPECT_TRUE(r.bufferKept);
  }
  EXPECT_EQ(host::HonkCount(), 0);
}

// A line the default rules expand gives the same line in bash mode, even where bash's own
// rules would read it otherwise (a blank after the bang, Quorvin's numbering).
TEST_F(BashModeKeys, DefaultRulesComeFirst) {
  for (const char16_t* line : {u"!!", u"! 1", u"!0", u"!-9", u"!+0", u"!0x1", u"!ec", u"!?two",
                               u"!!:s/one/1/:s/two/2/", u"!d:s/i/o"}) {
    SCOPED_TRACE(ShowBrief(line));
    BashMode(nullptr);
    const host::KeyResult plain = host::Press(line);
    BashMode(u"bash");
    const host::KeyResult bash = host::Press(line);
    EXPECT_EQ(plain.redraw, 1);
    EXPECT_TEXT(bash.line, plain.line);
  }
}

// Lines the default rules fail or leave alone: bash's rules; :p only puts the line up; a line
// with no reference left runs as typed without a beep (a wildcard's [!...] is the shell's); a
// failure takes the failure path.
TEST_F(BashModeKeys, OtherLinesFollowBashRules) {
  BashMode(u"bash");
  enum Outcome { Expands, PutsUp, Untouched, Fails };
  const struct {
    const char16_t* line;
    Outcome outcome;
    const char16_t* result;
  } rows[] = {
      {u"sudo !!", Expands, u"sudo echo one two"},
      {u"!! x", Expands, u"echo one two x"},
      {u"^one^1", Expands, u"echo 1 two"},
      {u"!!:s/one/1/ !$", Expands, u"echo 1 two two"},
      {u"echo !!:^ !!:1-$", Expands, u"echo one one two"},
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
  for (const auto& row : rows) {
    SCOPED_TRACE(ShowBrief(row.line));
    const host::KeyResult r = host::Press(row.line);
    const bool rewritten = row.outcome == Expands || row.outcome == PutsUp;
    EXPECT_TEXT(r.line, rewritten ? row.result : row.line);
    EXPECT_EQ(r.redraw, rewritten ? 1 : 0);
    EXPECT_EQ(r.key, row.outcome == PutsUp ? 0 : kKeyEnter);
    if (row.outcome == Fails) ++fails;
    EXPECT_EQ(host::HonkCount(), fails);
  }
  // With /A0 /X0 the default rules fail "! 1", and bash mode keeps the key swallowed.
  host::Set(u"/A0 /X0");
  const host::KeyResult r = host::Press(u"! 1");
  EXPECT_TEXT(r.line, u"! 1");
  EXPECT_EQ(r.redraw, 0);
  EXPECT_EQ(r.key, 0);
  EXPECT_EQ(host::HonkCount(), fails + 1);
}

// This shell's paths: :h and :t split at '\' as at '/', and :h keeps a drive's root (the full
// table of the path modifiers is the engine's, in bash_mode_test.cpp).
TEST_F(BashModeKeys, WindowsPathsSplitAtBackslashes) {
  BashMode(u"bash");
  host::SetHistory(
      {u"copy \\\\server\\share\\x.doc C:\\notes.txt", u"notepad C:\\Users\\me\\notes.txt"});
  EXPECT_TEXT(host::Press(u"cd !$:h").line, u"cd C:\\Users\\me");
  EXPECT_TEXT(host::Press(u"type !$:t").line, u"type notes.txt");
  EXPECT_TEXT(host::Press(u"dir !-2:1:h !-2:$:h").line, u"dir \\\\server\\share C:\\");
  EXPECT_TEXT(host::Press(u"echo !-2:h").line, u"echo copy \\\\server\\share\\x.doc C:\\");
}

// A key other than Enter or Shift-Enter on a line with a bang anywhere is left alone in bash
// mode too, and Shift-Enter only puts the expansion up.
TEST_F(BashModeKeys, OnlyEnterAndShiftEnterExpand) {
  BashMode(u"bash");
  EXPECT_EQ(host::Press(u"echo !$", 'x').redraw, 0);
  const host::KeyResult r = host::Press(u"echo !$", kKeyShiftEnter);
  EXPECT_TEXT(r.line, u"echo two");
  EXPECT_EQ(r.key, 0);
  host::StartOn(u"28");
  EXPECT_TEXT(host::Press(u"echo !$", 0, u"Enter").line, u"echo two");
  EXPECT_EQ(host::Press(u"echo !$", 13, u"Escape").redraw, 0);
}

class InPlaceKeys : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::StartOn(u"23");
    host::SetHistory({u"dir", std::u16string(65000, u'z'), u"echo one two"});
  }
};

// Key x mode x cursor x outcome: the text before the cursor expands in place for Tab (swallowed)
// and Space (passed on) to what Enter gives for it; Enter expands the whole line and, with
// verify, stays on it, also when it fails. No reference, a failure, a cursor inside a character
// or inside a reference that goes on after it, or a line too long changes nothing; only Enter
// beeps.
TEST_F(InPlaceKeys, TabSpaceAndEnterInBothModes) {
  const std::u16string tail(65530, u'x');
  const std::vector<std::u16string> grep = {u"grep -rn foo src | less"};
  const std::vector<std::u16string> globs = {u"ls [abc]* ${HOME}"};
  const std::vector<std::u16string> cat = {u"echo cat a"};
  const std::vector<std::u16string> two = {u"echo foo bar baz", u"grep -rn foo src | less"};
  const std::vector<std::u16string> drive = {u"dir C:\\foo"};
  const std::vector<std::u16string> slashes = {u"x a\\b a/b"};
  const std::vector<std::u16string> bangs = {u"dir", u"!!"};  // a failed !! ran as typed
  const std::vector<std::u16string> dollar = {u"echo one", u"ec$x y"};
  const std::vector<std::u16string> cyrillic = {u"echo \u041F\u0420\u0418\u0412\u0415\u0422 x"};
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
    bool runs = false;  // Enter with verify runs the line: its expansion is the line as typed
  } rows[] = {
      // Where people put the cursor: inside a reference that goes on after it, or inside a
      // character, nothing changes and the key goes on; :p and a trailing blank read a leading
      // :s as Enter reads it; a blank may belong to an open search or a bare :s.
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
      {true, 13, u"vim !zzq", -1, nullptr, 0, true, &grep},  // verify: the failure stays
      {true, 32, u"!?foo", -1, nullptr, 0, false, &two},     // at the start of the line too
      {true, 9, u"!?foo", -1, u"grep -rn foo src | less", 23, false, &two},
      {false, 32, u"!?foo", -1, u"grep -rn foo src | less", 23, false, &two},
      // A '\' before the delimiter of a leading :s is this shell's path separator: a :p, a blank
      // or more of the line leave the :s as Enter reads it without them, until a delimiter typed
      // later closes bash's reading, which the cursor then stands inside.
      {true, 13, u"!!:s/C:\\/D:\\/:p", -1, u"dir D:\\foo", 10, false, &drive},
      {true, 13, u"!!:s/C:\\/D:\\/ ", -1, u"dir D:\\foo ", 11, false, &drive},
      {true, 13, u"!!:s/C:\\/D:\\/ && dir", -1, u"dir D:\\foo && dir", 17, false, &drive},
      {true, 9, u"!!:s/C:\\/D:\\/ && dir", 13, u"dir D:\\foo && dir", 10, false, &drive},
      {true, 13, u"!!:s/a\\/b/:p", -1, u"x bb a/b", 8, false, &slashes},
      {true, 9, u"!!:s/a\\/b/x/", 10, nullptr, 0, false, &slashes},
      {true, 13, u"!!:s/a\\/b/x/", -1, u"x a\\b x", 7, false, &slashes},
      // Enter reads "!ec$x" as the default rules' one reference, bash's "!ec$" inside it.
      {true, 13, u"!ec$x", -1, u"ec$x y", 6, false, &dollar},
      {true, 9, u"!ec$x", 4, nullptr, 0, false, &dollar},
      {true, 9, u"!ec$ x", 4, u"ec$x y x", 6, false, &dollar},  // as Enter reads "!ec$"
      {true, 9, u"!ec$x y", 4, nullptr, 0, false, &dollar},     // Enter on "!ec$" reads "ec$" too
      {true, 13, u"!ec$:p", -1, u"ec$x y", 6, false, &dollar},  // :p shows what "!ec$" runs
      {true, 9, u"!ec$:p x", 6, u"ec$x y x", 6, false, &dollar},
      // Verify shows an expansion once: one that is the line as typed runs.
      {false, 13, u"!!", -1, u"!!", 2, false, &bangs, false, true},
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
      {false, 13, u"echo one two", -1, nullptr, 0, false},  // the verified line runs
      {false, 13, u"!! x", 2, nullptr, 0, true},            // Enter reads the whole line
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
      // ... and makes the text before the cursor read otherwise than Enter reads it alone.
      {true, 9, u"echo [!zz !$]", 12, nullptr, 0, false, &grep},
      {true, 32, u"echo ${!zz !$}", 13, nullptr, 0, false, &grep},
      {true, 9, u"echo [!zz] !$]", 13, u"echo [!zz] less]", 15, false, &grep},
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
      // % is the word where a case-blind search's text occurs, folded beyond Latin-1 as the
      // shell folds.
      {true, 13, u"echo !?\u0432\u0435?%", -1, u"echo \u041F\u0420\u0418\u0412\u0415\u0422", 11,
       false, &cyrillic, true},
  };
  host::SetVariable(u"QUORVIN_KEYS", u"tab space verify");
  int beeps = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(ShowBrief(row.line) + " key " + std::to_string(row.key) +
                 (row.bash ? " bash" : ""));
    BashMode(row.bash ? u"bash" : nullptr);
    host::SetHistory(
        row.history != nullptr
            ? *row.history
            : std::vector<std::u16string>{u"dir", std::u16string(65000, u'z'), u"echo one two"});
    host::Set(row.foldCase ? u"/I1" : u"/I0");
    const host::KeyResult r = host::Press(row.line, row.key, u"", row.cursor);
    const long typedCursor = row.cursor < 0 ? static_cast<long>(row.line.size()) : row.cursor;
    const bool rewritten = row.made != nullptr;
    EXPECT_TEXT(r.line, rewritten ? row.made : row.line);
    EXPECT_EQ(r.cursor, rewritten ? row.cursorAfter : typedCursor);
    EXPECT_EQ(r.redraw, rewritten ? 1 : 0);
    // Tab is swallowed when it expands; with verify so is Enter, also when it fails, unless it
    // gives the line as typed; Space always goes on.
    const bool swallowed = (rewritten && row.key != 32 && !row.runs) || (row.beep && row.key == 13);
    EXPECT_EQ(r.key, swallowed ? 0 : row.key);
    EXPECT_TRUE(r.bufferKept);
    if (row.beep) ++beeps;
    EXPECT_EQ(host::HonkCount(), beeps);
  }
}

// Key names: "Tab" is swallowed with its name emptied, "Space" goes on with its name.
TEST_F(InPlaceKeys, KeyNamesOnShellsThatNameKeys) {
  host::StartOn(u"28");
  host::SetVariable(u"QUORVIN_KEYS", u"tab,space");
  host::KeyResult r = host::Press(u"!!", 0, u"Tab");
  EXPECT_TEXT(r.line, u"echo one two");
  EXPECT_EQ(r.key, 0);
  EXPECT_TEXT(r.keyName, u"");
  r = host::Press(u"!!", 0, u"space");
  EXPECT_TEXT(r.line, u"echo one two");
  EXPECT_TEXT(r.keyName, u"space");
  EXPECT_EQ(host::Press(u"!!", 9, u"Escape").redraw, 0);
  // The name decides before anything is read: a key named otherwise, whatever its code or first
  // letter, reads no variable on a line that does not begin with '!'.
  BashMode(u"bash");
  const int reads = host::ExpandVariablesCount();
  EXPECT_EQ(host::Press(u"echo !$", 32, u"S").redraw, 0);
  EXPECT_EQ(host::Press(u"echo !$", 9, u"Shift-Tab").redraw, 0);
  EXPECT_EQ(host::ExpandVariablesCount(), reads);
  EXPECT_TEXT(host::Press(u"echo !$", 0, u"SPACE").line, u"echo two");
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
      host::RemoveVariable(u"QUORVIN_KEYS");
    } else {
      host::SetVariable(u"QUORVIN_KEYS", row.value);
    }
    SCOPED_TRACE(row.value == nullptr ? "unset" : ShowBrief(row.value));
    EXPECT_EQ(host::Press(u"!! x", 9, u"", 2).redraw, row.tab ? 1 : 0);
    EXPECT_EQ(host::Press(u"!! x", 32, u"", 2).redraw, row.space ? 1 : 0);
    EXPECT_EQ(host::Press(u"!!").key, row.verify ? 0 : kKeyEnter);
  }
  host::SetVariable(u"QUORVIN_KEYS", u"tab space");
  BashMode(u"bash");
  const int reads = host::ExpandVariablesCount();
  for (int key : {9, 32, int{'a'}}) EXPECT_EQ(host::Press(u"dir /s *.txt", key).redraw, 0);
  EXPECT_EQ(host::Press(u"!xco", 'p').redraw, 0);
  EXPECT_EQ(host::ExpandVariablesCount(), reads);
}

}  // namespace
