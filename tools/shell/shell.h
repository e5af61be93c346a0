// quorvin-shell: a small shell on Linux that hosts the plugin the way Take Command does, so the
// plugin can be used and tried by hand and by transcript. Shared declarations of its parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/host_api.h"

namespace qshell {

// The shell's major version the program pretends to be when not told otherwise; from 24 on
// the shell names its keys.
constexpr int kDefaultShellVersion = 28;

// Capacity of the key-name buffer handed to the plugin ("Shift-Enter" and its terminator fit).
constexpr size_t kKeyNameCapacity = 32;

// The program's settings, fixed once the options have been read (main.cpp).
struct ProgramOptions {
  int shellVersion = kDefaultShellVersion;  // decides key names (24+) or key codes only
  bool dryRun = false;                      // print lines instead of running them
  bool interactive = false;                 // standard input is a terminal (readline)
  std::string registryFile;                 // the registry's backing file; empty: memory only
};

extern ProgramOptions Options;

// ==== Hosting the plugin (host.cpp) ====

// The edit line the plugin rewrites in place, kLineCapacity units. Filled by the caller of
// PressKey; read back afterwards.
extern char16_t EditLine[kLineCapacity];

// Which key the user pressed on the edit line.
enum class Key { Enter, ShiftEnter, Tab, Space };

// What came of one keystroke handed to the plugin.
struct KeyOutcome {
  bool survived;  // the key reached the shell (not swallowed by the plugin)
  bool redrawn;   // the plugin rewrote the edit line
  size_t cursor;  // the cursor's offset in EditLine afterwards, in units
};

// GetPluginInfo, then InitializePlugin: the banner and the saved settings.
void LoadPlugin();

// Whether `line` goes on the edit line whole: at most kMaxLineLength units, and no NUL, which
// would end it there. A line that does not is refused, as the shell refuses one longer than
// its edit line: never cut, and so never run in part.
bool FitsEditLine(const std::u16string& line);

// Says on standard error why `line`, which does not fit the edit line, is not run.
void ReportUnfit(const std::u16string& line);

// Copies `line` into EditLine with the cursor at `cursor` units (its end when past it) and
// presses `pressed`. A line that does not fit the edit line never reaches the plugin: the key
// is swallowed and nothing changes.
KeyOutcome PressKey(const std::u16string& line, Key pressed, size_t cursor = SIZE_MAX);

void UnloadPlugin();

// ==== Running a line (commands.cpp) ====

// What the program does after a line has run.
struct LineResult {
  int status;      // the line's result: the command's, or the exit status of /bin/sh
  bool exitShell;  // the line was `exit`
};

// Runs an edit line that Enter let through: appends it to the history and runs it as a
// built-in (quorv, history, cd, set, exit) or with /bin/sh -c (printed only with --dry-run).
// Blank lines do nothing and are not kept.
LineResult RunLine(const std::u16string& line);

// ==== Interactive mode (terminal.cpp) ====

// Reads lines with readline until `exit` or end of input. The exit status: exit's, or at the
// end of input the last line's.
int RunInteractive();

}  // namespace qshell
