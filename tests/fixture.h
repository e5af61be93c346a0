// Shared fixture of the native unit tests, and the native host of the shared tables
// (tests/cases): the plugin's code called directly over the stand-ins for the shell and Windows.
// Every test starts with the stand-ins and the plugin's process-wide records at their start.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cases/cases.h"
#include "expansion/expansion.h"
#include "keys/keys.h"
#include "platform/standin_platform.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "shell/standin_shell.h"

class PluginTest : public HostTest {
 protected:
  // A temporary directory for files the test makes; removed afterwards.
  std::u16string TempDir() { return host::TempDir(); }
  // Creates a file (empty) or a directory below TempDir() and returns its full path.
  std::u16string MakeFile(const std::u16string& name) { return host::MakeFile(name); }
  std::u16string MakeDir(const std::u16string& name) { return host::MakeDir(name); }
};

using host::KeyResult;

// Presses `keyCode` (with `keyName`, may be empty) on `line` through the exported `key`, the
// cursor at offset `cursor` (the end of the line when negative).
inline KeyResult PressKey(const std::u16string& line, int keyCode = kKeyEnter,
                          const std::u16string& keyName = u"", long cursor = -1) {
  return host::Press(line, keyCode, keyName, cursor);
}
