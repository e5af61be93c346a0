// The keystroke path through the DLL: every reference form, the :s modifier, the longest
// line, the key-code and key-name triggers, the failure path and every error beep mode.
#include <windows.h>

#include <string>
#include <vector>

#include "harness.h"
#include "host.h"

namespace {

constexpr int kEnter = 13;
constexpr int kShiftEnter = 0x80D;

// Five entries, oldest first.
const std::vector<std::u16string> kFive = {u"cd x", u"dir", u"cd y", u"copy a.txt b.txt",
                                           u"echo cat a"};

// The plugin as the shell starts it, with key codes deciding (a shell before version 24).
void StartWithKeyCodes() {
  host::SetVariable(u"_4ver", u"23");
  host::StartPlugin();
  host::TakeStdout();
}

// Changes settings through the command, quietly.
void Set(const std::u16string& options) {
  host::CommandResult r = host::Quorv(u"/Q " + options);
  if (r.result != 0 || !r.err.empty()) {
    suite::Fail(__FILE__, __LINE__,
                "quorv " + suite::Show(options) + " failed: " + suite::Show(r.err));
  }
}

// One line and what Enter makes of it: the expanded line, or empty for a failure.
struct Expansion {
  std::u16string line;
  std::u16string expected;  // empty: the expansion fails
};

// Presses Enter on each line and checks the whole outcome: a success rewrites the line,
// puts the cursor at its end, asks for a redraw and lets the key through; a failure leaves
// everything as it was and honks (the default beep).
void CheckEnter(const std::vector<Expansion>& rows) {
  for (const Expansion& row : rows) {
    suite::Input input(suite::Show(row.line));
    const int honks = host::HonkCount();
    const int clears = host::ClearEditLineCount();
    host::KeyResult r = host::Press(row.line, kEnter);
    CHECK_EQ(r.key, kEnter);
    CHECK(r.shellFieldsKept);
    CHECK(r.bufferKept);
    if (!row.expected.empty()) {
      CHECK_EQ(r.line, row.expected);
      CHECK_EQ(r.redraw, 1);
      CHECK_EQ(r.cursor, static_cast<ptrdiff_t>(r.line.size()));
      CHECK_EQ(host::ClearEditLineCount(), clears + 1);
      CHECK_EQ(host::HonkCount(), honks);
    } else {
      CHECK_EQ(r.line, row.line);
      CHECK_EQ(r.redraw, 0);
      CHECK_EQ(r.cursor, static_cast<ptrdiff_t>(row.line.size()));
      CHECK_EQ(host::ClearEditLineCount(), clears);
      CHECK_EQ(host::HonkCount(), honks + 1);
    }
  }
}

}  // namespace

// ==== Reference forms ====

SUITE_CASE(References, NumberedFormsCountingFromZero) {
  StartWithKeyCodes();
  host::SetHistory(kFive);
  CheckEnter({
      {u"!!", u"echo cat a"},
      {u"!0", u"cd x"},
      {u"!4", u"echo cat a"},
      {u"!5", u""},
      {u"!-1", u"echo cat a"},
      {u"!-5", u"cd x"},
      {u"!-6", u"cd x"},
      {u"!-100", u"cd x"},
      {u"!-0", u""},
      {u"!+3", u"copy a.txt b.txt"},
      {u"!0x2", u"cd y"},
      {u"!0X2", u"cd y"},
      {u"!0x0x1", u"dir"},
      {u"!0xFFFFFFFF", u"echo cat a"},
      {u"!0x80000000", u"cd x"},
      {u"!-2147483648", u"cd x"},
      {u"!0x100000000", u""},
      {u"!2147483648", u""},
      {u"!-2147483649", u""},
      {u"!2147483647", u""},
      {u"!0xg", u""},
      {u"!-0x5", u""},
      {u"!12abc", u""},
  });
}

SUITE_CASE(References, NumberedFormsCountingFromOne) {
  StartWithKeyCodes();
  Set(u"/Z1");
  host::SetHistory(kFive);
  CheckEnter({
      {u"!1", u"cd x"},
      {u"!5", u"echo cat a"},
      {u"!0", u""},
      {u"!6", u""},
      {u"!-1", u"echo cat a"},
      {u"!-5", u"cd x"},
      {u"!0x10", u""},
  });
}

SUITE_CASE(References, SearchForms) {
  StartWithKeyCodes();
  host::SetHistory({u"cd x", u"dir", u"cd y", u"cdrom", u"Cat $x_1"});
  CheckEnter({
      {u"!cd", u"cdrom"},
      {u"!cd:s/rom/ROM/", u"cdROM"},
      {u"!?ir", u"dir"},
      {u"!?x", u"Cat $x_1"},
      {u"!?y", u"cd y"},
      {u"!CD", u""},
      {u"!Ca", u"Cat $x_1"},
      {u"!?x_1", u"Cat $x_1"},
      {u"!? ir", u""},
      {u"!?ir?", u""},
      {u"!a-b", u""},
      {u"!zz", u""},
  });
}

// A search word longer than the comparison holds is refused, never compared on its start.
SUITE_CASE(References, ALongSearchWordIsComparedWhole) {
  StartWithKeyCodes();
  const std::u16string trap = std::u16string(1023, u'a') + u"XYZ run-me";
  host::SetHistory({trap, u"dir"});
  CheckEnter({{u"!" + std::u16string(1500, u'a'), u""}, {u"!" + std::u16string(1023, u'a'), trap}});
}

SUITE_CASE(References, CaseInsensitiveSearches) {
  StartWithKeyCodes();
  Set(u"/I1");
  host::SetHistory({u"cd x", u"DIR \u00C9T\u00C9", u"Cat a"});
  CheckEnter({
      {u"!CD", u"cd x"},
      {u"!?ir", u"DIR \u00C9T\u00C9"},
      {u"!?\u00E9t\u00E9", u"DIR \u00C9T\u00C9"},  // the shell's own _stristr folds these
      {u"!cAT", u"Cat a"},
      {u"!!:s/CAT/dog/", u"dog a"},
  });
}

SUITE_CASE(References, WhiteSpaceAfterTheBang) {
  StartWithKeyCodes();
  host::SetHistory(kFive);
  CheckEnter({{u"! 3", u"copy a.txt b.txt"}, {u"!  ?ir", u"dir"}, {u"!\t-1", u"echo cat a"}});
  Set(u"/A0");
  CheckEnter({{u"! 3", u""}, {u"!  ?ir", u""}, {u"!3", u"copy a.txt b.txt"}});
}

SUITE_CASE(References, LinesThatAreNoReference) {
  StartWithKeyCodes();
  host::SetHistory(kFive);
  CheckEnter({
      {u"!", u""},
      {u"!?", u""},
      {u"!?1a", u""},
      {u"!_x", u""},
      {u"!$x", u""},
      {u"!-x", u""},
      {u"!+", u""},
      {u"!3 ", u""},
      {u"!!x", u""},
      {u"!! ", u""},
  });
}

SUITE_CASE(References, OnlyLinesThatBeginWithABangAreTouched) {
  StartWithKeyCodes();
  host::SetHistory(kFive);
  for (const std::u16string line : {u" !!", u"echo !!", u"", u"x!1"}) {
    suite::Input input(suite::Show(line));
    host::KeyResult r = host::Press(line, kEnter);
    CHECK_EQ(r.line, line);
    CHECK_EQ(r.key, kEnter);
    CHECK_EQ(r.redraw, 0);
    CHECK_EQ(host::HonkCount(), 0);
    CHECK_EQ(host::TakeKeyQueries().size(), static_cast<size_t>(0));
  }
}

SUITE_CASE(References, EmptyHistoryFailsEveryForm) {
  StartWithKeyCodes();
  host::SetHistory({});
  CheckEnter({{u"!!", u""}, {u"!0", u""}, {u"!-1", u""}, {u"!cd", u""}, {u"!?d", u""}});
}

SUITE_CASE(References, OneEntryAndTheEndReportedByTheEntryItself) {
  StartWithKeyCodes();
  host::SetHistory({u"only"});
  CheckEnter({{u"!!", u"only"}, {u"!-1", u"only"}, {u"!1", u""}});
  host::SetEndBySelf(true);
  host::SetHistory(kFive);
  CheckEnter({{u"!!", u"echo cat a"}, {u"!-2", u"copy a.txt b.txt"}, {u"!?cat", u"echo cat a"}});
}

// ==== The :s modifier ====

SUITE_CASE(Modifier, SubstitutesTheFirstOccurrence) {
  StartWithKeyCodes();
  host::SetHistory({u"ls /usr/bin", u"cat a"});
  CheckEnter({
      {u"!!:s/a/b/", u"cbt a"},
      {u"!!:s/a/b", u"cbt a"},
      {u"!!:s/a/", u"ct a"},
      {u"!!:s/a//", u"ct a"},
      {u"!!:s:a:b:", u"cbt a"},
      {u"!!:s/a/b/:s/c/d/", u"dbt a"},  // each modifier in turn
      {u"!!:s/zz/y/", u""},             // an old text that does not occur fails
      {u"!!:s/cat/x/", u"x a"},
      {u"!-2:s|/usr|/opt|", u"ls /opt/bin"},
      {u"!ls:s#bin#sbin#", u"ls /usr/sbin"},
  });
}

SUITE_CASE(Modifier, MalformedModifiersFail) {
  StartWithKeyCodes();
  host::SetHistory({u"cat a"});
  CheckEnter({
      {u"!!:S/a/b/", u""},
      {u"!!:g/a/b/", u""},
      {u"!!:", u""},
      {u"!!:s", u""},
      {u"!!:sXaXbX", u""},
      {u"!!:s\u20ACa\u20ACb\u20AC", u""},  // the euro sign is no punctuation to Windows
      {u"!!:s/a", u""},
      {u"!!:s//b/", u""},
      {u"!!:s/a/b/ ", u""},
      {u"!!:s/a/b/x", u""},
      {u"!!:s/a/b:s/c/d/", u""},
  });
}

SUITE_CASE(Modifier, OldTextOf1023UnitsAndNoMore) {
  StartWithKeyCodes();
  const std::u16string old1023(1023, u'o');
  host::SetHistory({u"x" + old1023 + u"y"});
  CheckEnter({
      {u"!!:s/" + old1023 + u"/n/", u"xny"},
      {u"!!:s/" + old1023 + u"o/n/", u""},
  });
}

// ==== The longest line ====

SUITE_CASE(LongLine, FillsTheShellsBufferExactly) {
  StartWithKeyCodes();
  const std::u16string full(65535, u'a');
  const std::u16string almost = std::u16string(65530, u'a') + u"b";
  host::SetHistory({full, almost, std::u16string(70000, u'c')});
  CheckEnter({
      {u"!0", full},
      {u"!1:s/b/bbbbb/", std::u16string(65530, u'a') + u"bbbbb"},
      {u"!1:s/b/bbbbbb/", u""},  // 65536 units would not fit: fails
      {u"!!", u""},              // an entry longer than the line is never run cut short
  });
}

// ==== Triggers ====

SUITE_CASE(Triggers, KeyCodesWithModifierKeys) {
  StartWithKeyCodes();
  host::SetHistory({u"echo one"});
  enum Outcome { Nothing, Execute, ExpandOnly };
  struct Row {
    int key;
    bool shift, ctrl, alt;
    Outcome outcome;
  };
  const Row rows[] = {
      {kEnter, false, false, false, Execute},
      {kEnter, true, false, false, ExpandOnly},
      {kEnter, false, true, false, Nothing},
      {kEnter, false, false, true, Nothing},
      {kEnter, true, true, false, Nothing},
      {kEnter, false, true, true, Nothing},
      {kEnter, true, false, true, Nothing},
      {kEnter, true, true, true, Nothing},
      {kShiftEnter, false, false, false, ExpandOnly},
      {kShiftEnter, true, false, false, ExpandOnly},
      {kShiftEnter, false, true, false, ExpandOnly},
      {kShiftEnter, false, false, true, ExpandOnly},
      {kShiftEnter, true, false, true, ExpandOnly},
      {kShiftEnter, true, true, true, ExpandOnly},
      {kShiftEnter, true, true, false, Nothing},
      {kShiftEnter, false, true, true, Nothing},
      {kEnter | 0x20000, false, false, false, Nothing},
      {10, false, false, false, Nothing},
      {32, true, false, false, Nothing},
      {0, false, false, false, Nothing},
  };
  for (const Row& row : rows) {
    suite::Input input("key " + std::to_string(row.key) + (row.shift ? " Shift" : "") +
                       (row.ctrl ? " Ctrl" : "") + (row.alt ? " Alt" : ""));
    host::ResetRecorders();
    host::SetKeyHeld(VK_SHIFT, row.shift);
    host::SetKeyHeld(VK_CONTROL, row.ctrl);
    host::SetKeyHeld(VK_MENU, row.alt);
    host::KeyResult r = host::Press(u"!!", row.key);
    CHECK_EQ(r.line, row.outcome == Nothing ? u"!!" : u"echo one");
    CHECK_EQ(r.key, row.outcome == ExpandOnly ? 0 : row.key);
    CHECK_EQ(r.redraw, row.outcome == Nothing ? 0 : 1);
    // All three modifier keys are asked about, in this order, whatever the key.
    CHECK(host::TakeKeyQueries() == std::vector<int>({VK_SHIFT, VK_CONTROL, VK_MENU}));
  }
  CHECK_EQ(host::HonkCount(), 0);
}

SUITE_CASE(Triggers, KeyNamesFromVersion24) {
  host::SetVariable(u"_4ver", u"24");
  host::StartPlugin();
  host::TakeStdout();
  host::SetHistory({u"echo one"});
  struct Row {
    std::u16string name;
    int key;
    bool ctrlHeld;
    std::u16string line;  // afterwards
    int keyAfter;
    std::u16string nameAfter;
  };
  const Row rows[] = {
      {u"Enter", 0, false, u"echo one", 0, u"Enter"},
      {u"enter", kEnter, true, u"echo one", kEnter, u"enter"},
      {u"Shift-Enter", kEnter, false, u"echo one", 0, u""},
      {u"SHIFT-ENTER", 77, true, u"echo one", 0, u""},
      {u"Ctrl-Enter", kEnter, false, u"!!", kEnter, u"Ctrl-Enter"},
      {u"Enter ", kEnter, false, u"!!", kEnter, u"Enter "},
      {u"", kEnter, false, u"echo one", kEnter, u""},  // no name: the key code decides
      {u"", kShiftEnter, false, u"echo one", 0, u""},
  };
  for (const Row& row : rows) {
    suite::Input input("key name " + suite::Show(row.name) + " key " + std::to_string(row.key) +
                       (row.ctrlHeld ? " Ctrl" : ""));
    host::SetKeyHeld(VK_CONTROL, row.ctrlHeld);
    host::KeyResult r = host::Press(u"!!", row.key, row.name);
    CHECK_EQ(r.line, row.line);
    CHECK_EQ(r.key, row.keyAfter);
    CHECK_EQ(r.keyName, row.nameAfter);
  }
}

SUITE_CASE(Triggers, NullKeyNameLeavesTheKeyCodeInCharge) {
  host::StartPlugin();  // version 28.02: key names would be read
  host::TakeStdout();
  host::SetHistory({u"echo one"});
  std::vector<char16_t> line(65536, 0);
  const std::u16string text = u"!!";
  std::copy(text.begin(), text.end(), line.begin());
  KeyEvent event = {};
  event.key = kEnter;
  event.line = line.data();
  event.cursor = line.data() + 2;
  event.keyName = nullptr;
  CHECK_EQ(host::Plugin.key(&event), 0);
  CHECK_EQ(std::u16string(line.data()), u"echo one");
  CHECK_EQ(event.key, kEnter);
}

// ==== Failure path ====

SUITE_CASE(Failure, ExecuteOnFailureDecidesWhetherTheKeyGoesOn) {
  struct Row {
    std::u16string options;
    bool keyNames;
    int keyAfter;
    std::u16string nameAfter;
    int honks;
  };
  const Row rows[] = {
      {u"/X1", false, kEnter, u"", 1},     {u"/X0", false, 0, u"", 1},
      {u"/X1", true, kEnter, u"Enter", 1}, {u"/X0", true, 0, u"", 1},
      {u"/X0 /B0", false, 0, u"", 0},      {u"/X1 /B0", true, kEnter, u"Enter", 0},
  };
  for (const Row& row : rows) {
    suite::Input input(suite::Show(row.options) + (row.keyNames ? " with key names" : ""));
    CHECK(host::UnloadPlugin());
    CHECK(host::LoadPlugin());
    host::ResetShell();
    host::SetVariable(u"_4ver", row.keyNames ? u"28" : u"23");
    host::StartPlugin();
    host::TakeStdout();
    Set(row.options);
    host::SetHistory(kFive);
    host::KeyResult r = host::Press(u"!nothing", kEnter, row.keyNames ? u"Enter" : u"");
    CHECK_EQ(r.line, u"!nothing");
    CHECK_EQ(r.key, row.keyAfter);
    CHECK_EQ(r.keyName, row.nameAfter);
    CHECK_EQ(r.redraw, 0);
    CHECK_EQ(host::HonkCount(), row.honks);
  }
}

// ==== Bash mode ====

// The shell variable switches bash mode on at the next Enter: before, a line that does not
// begin with '!' is left alone; after, its reference expands.
SUITE_CASE(BashMode, SwitchedOnByTheShellVariable) {
  StartWithKeyCodes();
  host::SetHistory({u"dir", u"echo one two"});
  host::KeyResult r = host::Press(u"echo !$", kEnter);
  CHECK_EQ(r.line, u"echo !$");
  CHECK_EQ(r.redraw, 0);
  host::SetVariable(u"QUORVIN_EXPAND", u"bash");
  r = host::Press(u"echo !$", kEnter);
  CHECK_EQ(r.line, u"echo two");
  CHECK_EQ(r.redraw, 1);
  CHECK_EQ(r.key, kEnter);
  CHECK(r.bufferKept);
  CHECK_EQ(host::HonkCount(), 0);
}

// A wildcard's [!...] is the shell's: bash mode leaves the line as typed, silently.
SUITE_CASE(BashMode, LeavesTheShellsWildcardsAlone) {
  StartWithKeyCodes();
  host::SetHistory({u"copy a1 a2 a3 notes.txt", u"dir"});
  host::SetVariable(u"QUORVIN_EXPAND", u"bash");
  const host::KeyResult r = host::Press(u"del *[!0-9].bak", kEnter);
  CHECK_EQ(r.line, u"del *[!0-9].bak");
  CHECK_EQ(r.redraw, 0);
  CHECK_EQ(r.key, kEnter);
  CHECK_EQ(host::HonkCount(), 0);
}

// A line the default rules fail stays failed in bash mode when bash's rules find no reference:
// with /X0 the key is swallowed and the beep sounds.
SUITE_CASE(BashMode, AFailureOfTheDefaultRulesStaysAFailure) {
  StartWithKeyCodes();
  Set(u"/A0 /X0");
  host::SetHistory({u"ls -l /tmp", u"echo one two three"});
  host::SetVariable(u"QUORVIN_EXPAND", u"bash");
  const host::KeyResult r = host::Press(u"! 1", kEnter);
  CHECK_EQ(r.line, u"! 1");
  CHECK_EQ(r.redraw, 0);
  CHECK_EQ(r.key, 0);
  CHECK_EQ(host::HonkCount(), 1);
}

// ==== Tab, Space and verify ====

// QUORVIN_KEYS: Tab expands the text before the cursor in place and is swallowed, Space does and
// goes on to the shell, and with verify Enter leaves its expansion on the line.
SUITE_CASE(InPlace, TabExpandsBeforeTheCursor) {
  StartWithKeyCodes();
  host::SetHistory({u"dir", u"echo one two"});
  host::SetVariable(u"QUORVIN_KEYS", u"tab");
  const host::KeyResult r = host::Press(u"!! x", 9, u"", 2);
  CHECK_EQ(r.line, u"echo one two x");
  CHECK_EQ(r.cursor, 12);
  CHECK_EQ(r.key, 0);
  CHECK_EQ(r.redraw, 1);
  CHECK(r.bufferKept);
  CHECK_EQ(host::Press(u"dir", 9).key, 9);  // no reference: the shell's own completion
}

SUITE_CASE(InPlace, SpaceExpandsAndGoesOn) {
  StartWithKeyCodes();
  host::SetHistory({u"dir", u"echo one two"});
  host::SetVariable(u"QUORVIN_EXPAND", u"bash");
  host::SetVariable(u"QUORVIN_KEYS", u"Space");
  const host::KeyResult r = host::Press(u"echo !$", 32);
  CHECK_EQ(r.line, u"echo two");
  CHECK_EQ(r.cursor, 8);
  CHECK_EQ(r.key, 32);
  CHECK_EQ(host::HonkCount(), 0);
}

SUITE_CASE(InPlace, VerifyLeavesTheExpansionOnTheLine) {
  StartWithKeyCodes();
  host::SetHistory({u"dir", u"echo one two"});
  host::SetVariable(u"QUORVIN_KEYS", u"verify");
  const host::KeyResult r = host::Press(u"!!", kEnter);
  CHECK_EQ(r.line, u"echo one two");
  CHECK_EQ(r.key, 0);
  CHECK_EQ(host::Press(u"echo one two", kEnter).key, kEnter);  // the second Enter runs it
}

// ==== Error beep ====

SUITE_CASE(Beep, EveryModeRequestsItsSound) {
  const std::u16string wave = host::MakeFile(u"ding.wav");
  struct Row {
    std::u16string options;
    int honks;
    uintptr_t alias;  // 0: no alias
    bool file;
  };
  const Row rows[] = {
      {u"/B0", 0, 0, false},
      {u"/B1", 1, 0, false},
      {u"/B2", 0, 0x2A53, false},
      {u"/B3", 0, 0x2153, false},
      {u"/B4", 0, 0x4853, false},
      {u"/B5", 0, 0x3F53, false},
      {u"\"/W:" + wave + u"\"", 0, 0, true},
  };
  for (const Row& row : rows) {
    suite::Input input(suite::Show(row.options));
    CHECK(host::UnloadPlugin());
    CHECK(host::LoadPlugin());
    host::ResetShell();
    StartWithKeyCodes();
    Set(row.options);
    host::SetHistory(kFive);
    host::Press(u"!nothing", kEnter);
    CHECK_EQ(host::HonkCount(), row.honks);
    std::vector<host::SoundCall> sounds = host::TakeSounds();
    const size_t expected = (row.alias != 0 || row.file) ? 1 : 0;
    CHECK_EQ(sounds.size(), expected);
    if (sounds.size() != 1 || expected != 1) continue;
    CHECK(sounds[0].module == nullptr);
    if (row.file) {
      CHECK_EQ(sounds[0].file, wave);
      CHECK_EQ(sounds[0].flags, static_cast<DWORD>(0x20001));  // SND_FILENAME | SND_ASYNC
    } else {
      CHECK_EQ(sounds[0].sound, row.alias);
      CHECK_EQ(sounds[0].flags, static_cast<DWORD>(0x110003));  // SND_ALIAS_ID|NODEFAULT|ASYNC
    }
  }
}

SUITE_CASE(Beep, CustomFileThatVanishedHonks) {
  const std::u16string wave = host::MakeFile(u"gone.wav");
  StartWithKeyCodes();
  Set(u"\"/W:" + wave + u"\"");
  CHECK(DeleteFileW(host::W(wave).c_str()));
  host::SetHistory(kFive);
  host::Press(u"!nothing", kEnter);
  CHECK_EQ(host::HonkCount(), 1);
  CHECK_EQ(host::TakeSounds().size(), static_cast<size_t>(0));
}

SUITE_CASE(Beep, ASuccessfulExpansionIsSilent) {
  StartWithKeyCodes();
  Set(u"/B2");
  host::SetHistory(kFive);
  host::Press(u"!!", kEnter);
  host::Press(u"!!:s/cat/dog/", kEnter);
  CHECK_EQ(host::TakeSounds().size(), static_cast<size_t>(0));
  CHECK_EQ(host::HonkCount(), 0);
}
