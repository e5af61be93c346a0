// The shared tables' toolkit: the plugin run as the shell runs it, through whichever host the
// program was built with, and the checks the tables share. Every table in tests/cases runs on
// both hosts: the native test program and the Windows one under Wine.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "expected.h"
#include "host.h"
#include "keys/keys.h"

// 16-bit text as readable ASCII: printable units as they are, the rest as escapes (\r, \n, \t,
// \uXXXX).
std::string Show(const std::u16string& text);
// The same for text that may be long: a unit repeated more than eight times is shown once, with
// its count ("a{x65535}").
std::string ShowBrief(const std::u16string& text);

// Compares two texts, printing both with Show when they differ (however long they are).
::testing::AssertionResult SameText(const char* actualExpression, const char* expectedExpression,
                                    const std::u16string& actual, const std::u16string& expected);
#define EXPECT_TEXT(actual, expected) EXPECT_PRED_FORMAT2(SameText, actual, expected)

namespace host {

// GetPluginInfo then InitializePlugin, as the shell loads a plugin; InitializePlugin's result.
int StartPlugin();

// The plugin started on a shell of `version` (what %_4ver expands to; before 24 keys go by
// code), its banner taken.
void StartOn(const std::u16string& version);

// Runs `quorv` with `arguments` (a writable copy, as the shell passes it).
struct CommandResult {
  int result;
  std::u16string out;  // standard output
  std::u16string err;  // standard error
};
CommandResult Quorv(const std::u16string& arguments);

// Changes settings through the command, quietly; a refusal is a failure of the test.
void Set(const std::u16string& options);

// A keystroke on a line through `key`, and what came of it.
struct KeyResult {
  std::u16string line;     // the line afterwards: up to its terminator, or the whole buffer
  int key;                 // the key afterwards
  int redraw;              // the redraw flag afterwards
  long cursor;             // the cursor's offset in the line afterwards
  std::u16string keyName;  // the key name afterwards
  bool shellFieldsKept;    // the shell's own fields were left alone
  bool bufferKept;         // nothing was written past the line's capacity
};
// Presses `keyCode` (named `keyName`, may be empty) on `line` with the cursor at offset `cursor`
// (the end when negative). The line fills the shell's buffer, unended, when it is as long as
// the buffer.
KeyResult Press(const std::u16string& line, int keyCode = kKeyEnter,
                const std::u16string& keyName = u"", long cursor = -1);

}  // namespace host

// Every test of the tables starts in a fresh world on its host.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host::ResetWorld()); }
  void TearDown() override { EXPECT_TRUE(host::LeaveWorld()); }
};

namespace cases {

// Five entries, oldest first: !0 (or !1 counting from one) is "one".
extern const std::vector<std::u16string> kOneToFive;

// The outcome of a line that fails.
extern const std::u16string kFails;

// One line typed and what Enter makes of it.
struct Expansion {
  std::u16string line;
  std::u16string made;  // kFails: the expansion fails
};

// Presses Enter on each line and checks the whole outcome. A success rewrites the line, puts the
// cursor at its end, erases the edit line once, asks for a redraw and lets the key through; a
// failure leaves everything as it was and sounds the default beep (the shell's honk); neither
// touches the shell's own fields or writes past the line.
void CheckEnter(const std::vector<Expansion>& rows);

// ==== The settings and where they are kept ====

// What every message of the command on standard error begins with, outside a batch file.
extern const std::u16string kPrefix;

// The names of the five numeric values under the settings key, in the order they are written,
// and the name of the custom beep's file.
extern const char16_t* const kValueNames[5];
extern const char16_t kFileValueName[];
// The value of `s` stored under kValueNames[i].
uint32_t ValueOf(const expected::Settings& s, size_t i);

// The settings the plugin holds, as its report shows them.
std::u16string Shown();

// Calls of the command in turn, each of which succeeds, with what it prints.
struct Step {
  std::u16string arguments;
  std::u16string out;
};
void CheckSteps(const std::vector<Step>& steps);

// The plugin loaded again and started, as at the shell's next start; the banner taken.
void Restart();

// The bytes of a REG_DWORD, and of a REG_SZ with its terminator.
std::vector<uint8_t> Dword(uint32_t value);
std::vector<uint8_t> Text(const std::u16string& text);

// The five numeric values of `s` under HKCU (or HKLM), each a REG_DWORD.
void PutSettings(bool machine, const expected::Settings& s);

// What the plugin prints for a status it was given by the registry: the system's text without
// the white space it ends with, or "Error N" when the system has none.
std::u16string SystemText(uint32_t status);

// `dir` and `name` joined by the host's separator.
std::u16string Path(const std::u16string& dir, const std::u16string& name);

// An empty file "...\ffff.wav" whose full path is `length` units long, made below TempDir()
// with the directories on its way.
std::u16string MakeFileOfLength(size_t length, char16_t fill);

// A value of a complete key changed for one the plugin cannot take (type kRegNone: removed).
struct Spoil {
  std::u16string name;
  uint32_t type;
  std::vector<uint8_t> data;
};
void PutSpoils(bool machine, const std::vector<Spoil>& spoils);

// A user key whose values are complete but for its spoils, each a bad value: the plugin loads
// none of it.
struct DamagedKey {
  const char* what;
  std::vector<Spoil> spoils;
};
extern const std::vector<DamagedKey> kDamagedKeys;

}  // namespace cases
