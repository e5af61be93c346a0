// Shared fixture of the unit tests: every test starts with the stand-ins and the plugin's
// process-wide records in their starting state.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expansion/expansion.h"
#include "keys/keys.h"
#include "platform/standin_platform.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "shell/standin_shell.h"

// Prints 16-bit text readably in failure messages.
std::string Show(const std::u16string& text);

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A temporary directory for files the test makes; removed afterwards.
  std::u16string TempDir();
  // Creates a file (empty) or a directory below TempDir() and returns its full path.
  std::u16string MakeFile(const std::u16string& name);
  std::u16string MakeDir(const std::u16string& name);

 private:
  std::string tempDir_;
};

// A keystroke on a line, as the shell hands it to `key`, and what came of it.
struct KeyResult {
  std::u16string line;     // the line afterwards
  int key;                 // the key afterwards
  int redraw;              // the redraw flag afterwards
  long cursor;             // the cursor's offset in the line afterwards
  std::u16string keyName;  // the key name afterwards
};

// Presses `keyCode` (with `keyName`, may be empty) on `line` through the exported `key`, the
// cursor at offset `cursor` (the end of the line when negative).
KeyResult PressKey(const std::u16string& line, int keyCode = kKeyEnter,
                   const std::u16string& keyName = u"", long cursor = -1);
