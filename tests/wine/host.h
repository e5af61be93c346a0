// The suite's side of the shell: loads the stand-in TakeCmd.dll and quorvin.dll the way the
// shell does, reaches the plugin only through its exports, and puts recorders in the plugin's
// import table where Wine's own functions cannot be observed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_api.h"

namespace host {

// ==== Loading ====

// Loads the stand-in shell once for the whole run. False, with a message, when it fails.
bool LoadShell(const std::wstring& takecmdPath);

// Loads quorvin.dll afresh (its records at their load-time values), finds its exports and
// patches its imports. False, with a message, when any step fails.
bool LoadPlugin();
// Unloads quorvin.dll; false when the system kept it loaded.
bool UnloadPlugin();

void SetPluginPath(const std::wstring& path);
const std::wstring& PluginPath();

// The plugin's exports, valid between LoadPlugin and UnloadPlugin.
struct PluginExports {
  PluginInfo* (*GetPluginInfo)(void);
  int (*InitializePlugin)(void);
  int (*ShutdownPlugin)(void);
  int (*Usage)(const char16_t* name, char16_t* out);
  int (*Help)(const char16_t* name);
  int (*key)(KeyEvent* event);
  int (*quorv)(char16_t* arguments);
};
extern PluginExports Plugin;

HMODULE PluginModule();

// ==== The stand-in shell ====

void ResetShell();
void AddHistory(const std::u16string& entry);
void SetHistory(const std::vector<std::u16string>& entries);
void SetEndBySelf(bool bySelf);
void SetVariable(const std::u16string& name, const std::u16string& value);
void RemoveVariable(const std::u16string& name);
std::u16string TakeStdout();
std::u16string TakeStderr();
int HonkCount();
int ClearEditLineCount();

// ==== Recorders in the plugin's import table ====

// GetAsyncKeyState: the keys reported as held, and the keys asked about, in order.
void SetKeyHeld(int virtualKey, bool held);
std::vector<int> TakeKeyQueries();

// PlaySoundW: what was asked for. No sound is played.
struct SoundCall {
  uintptr_t sound;      // the sound argument as a number (an alias identifier below 0x10000)
  std::u16string file;  // the file name, when the sound argument is a text
  HMODULE module;
  DWORD flags;
};
std::vector<SoundCall> TakeSounds();

// MessageBoxW: what would have been shown. Answers IDOK at once.
struct MessageBoxCall {
  HWND owner;
  std::u16string text;
  std::u16string caption;
  UINT type;
};
std::vector<MessageBoxCall> TakeMessageBoxes();

// GetForegroundWindow answers this window, so that the owner of a message box is known.
HWND FakeForegroundWindow();
int ForegroundWindowCalls();

// RegSetValueExW goes to Wine's registry unless a status is set for a value name, which is
// then returned instead of writing (0 removes it).
void FailValueWrite(const std::u16string& name, LONG status);

// The same for RegDeleteValueW. Wine lets a key be written or not, but not written and refused
// a delete (both need KEY_SET_VALUE), so a refused delete is arranged here.
void FailValueDelete(const std::u16string& name, LONG status);

// Every recorder back to its start: no key held, nothing recorded, no write or delete fault.
void ResetRecorders();

// ==== Running the plugin as the shell does ====

// GetPluginInfo then InitializePlugin; returns InitializePlugin's result.
int StartPlugin();

// Runs `quorv` with `arguments` (a writable copy, as the shell passes it).
struct CommandResult {
  int result;
  std::u16string out;  // standard output
  std::u16string err;  // standard error
};
CommandResult Quorv(const std::u16string& arguments);

// A keystroke on a line through `key`, and what came of it.
struct KeyResult {
  std::u16string line;     // the line afterwards
  int key;                 // the key afterwards
  int redraw;              // the redraw flag afterwards
  ptrdiff_t cursor;        // the cursor's offset in the line afterwards
  std::u16string keyName;  // the key name afterwards
  bool shellFieldsKept;    // the shell's own fields were left alone
  bool bufferKept;         // nothing was written past the line's capacity
};
// Presses a key on `line` with the cursor at offset `cursor` (the end when negative).
KeyResult Press(const std::u16string& line, int keyCode, const std::u16string& keyName = u"",
                ptrdiff_t cursor = -1);

// ==== The world the plugin sees ====

// Deletes the settings key (and any key below it) under HKCU and HKLM.
void CleanRegistry();

// A directory of the run's own below the temporary folder, and files in it.
const std::u16string& TempDir();
std::u16string MakeFile(const std::u16string& relative);  // full path
std::u16string MakeDir(const std::u16string& relative);   // full path
// A file "...\ffff.wav" below TempDir() whose full path is `length` units long, made with the
// directories on its way.
std::u16string MakeFileOfLength(size_t length, char16_t fill);

std::u16string U16(const std::wstring& text);
std::wstring W(const std::u16string& text);

}  // namespace host
