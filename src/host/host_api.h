// The shell's side of the plugin boundary: the functions the plugin imports from TakeCmd.dll
// and the two records that cross the boundary, in the shell's own x64 layout.
#pragma once

#include <cstddef>
#include <cstdint>

// The keystroke record the shell fills for every key pressed on the command line. The plugin
// reads and writes it in place (see `key`).
struct KeyEvent {
  int key;            // the shell's key code; the plugin sets 0 to swallow the key
  int startRow;       // the shell's own; never read or written by the plugin
  int startColumn;    // the shell's own
  int currentRow;     // the shell's own
  int currentColumn;  // the shell's own
  char16_t* line;     // the edit-line buffer, kLineCapacity units; rewritten by an expansion
  char16_t* cursor;   // points into `line`; set to the terminator after an expansion
  int redraw;         // set to 1 by the plugin to make the shell redraw the line
  char16_t* keyName;  // the key's name (shells 24 and later); may be emptied by the plugin
};

// The plugin's identity as the shell reads it after `GetPluginInfo`.
struct PluginInfo {
  const char16_t* name;         // plugin name
  const char16_t* author;       // author's name
  const char16_t* email;        // author's e-mail address
  const char16_t* webPage;      // the plugin's web page
  const char16_t* description;  // one-line description
  const char16_t* functions;    // comma-separated commands; '*' marks a keystroke handler
  int major;                    // version: major
  int minor;                    // version: minor
  int build;                    // version: build
  void* module;                 // the shell's own: the plugin's module handle; never written
  char16_t* moduleName;         // the shell's own: the plugin's module name; never written
};

static_assert(offsetof(KeyEvent, key) == 0, "KeyEvent.key");
static_assert(offsetof(KeyEvent, line) == 24, "KeyEvent.line");
static_assert(offsetof(KeyEvent, cursor) == 32, "KeyEvent.cursor");
static_assert(offsetof(KeyEvent, redraw) == 40, "KeyEvent.redraw");
static_assert(offsetof(KeyEvent, keyName) == 48, "KeyEvent.keyName");
static_assert(sizeof(KeyEvent) == 56, "KeyEvent size");
static_assert(offsetof(PluginInfo, functions) == 40, "PluginInfo.functions");
static_assert(offsetof(PluginInfo, major) == 48, "PluginInfo.major");
static_assert(offsetof(PluginInfo, minor) == 52, "PluginInfo.minor");
static_assert(offsetof(PluginInfo, build) == 56, "PluginInfo.build");
static_assert(offsetof(PluginInfo, module) == 64, "PluginInfo.module");
static_assert(offsetof(PluginInfo, moduleName) == 72, "PluginInfo.moduleName");
static_assert(sizeof(PluginInfo) == 80, "PluginInfo size");

// Capacity of the shell's edit line, terminator included, and the longest line it holds.
constexpr size_t kLineCapacity = 65536;
constexpr size_t kMaxLineLength = kLineCapacity - 1;

// Capacity of the buffer the plugin hands to `QueryTrueName`, terminator included.
constexpr size_t kTrueNameCapacity = 32768;

// The shell's exports. On Windows they are bound by the import table to TakeCmd.dll (two of
// them under their C++ decorated names, through the import library); elsewhere the stand-in
// shell provides them. Text is UTF-16; numbers passed to the formats are 32-bit.
extern "C" {

// Oldest history entry, or null when the history is empty.
char16_t* HistoryStart(void);
// The entry after `entry`; null or `entry` itself when `entry` was the newest.
char16_t* NextHistoryEntry(char16_t* entry);
// Erases the edit line as displayed, before the plugin rewrites the buffer.
void ClearEditLine(char16_t* line);
// Expands the shell's variable references in `buffer` in place (the plugin passes flag 1).
int ExpandVariables(char16_t* buffer, int flag);
// Formatted text ("%s", "%u", "%-2d") to the shell's standard output.
int Printf(const char16_t* format, ...);
// Formatted text ("%s", "%u", "%d") to an output handle.
int Qprintf(void* handle, const char16_t* format, ...);
// A string to standard output, unchanged.
int QPuts(const char16_t* text);
// A line break to standard output.
void CrLf(void);
// The shell's own error beep.
void honk(void);
// The full path of `name` into `out` (kTrueNameCapacity units).
int QueryTrueName(const char16_t* name, char16_t* out);
// First case-blind occurrence of `find` in `text`, as long as `find`, or null.
char16_t* _stristr(const char16_t* text, const char16_t* find);

}  // extern "C"
