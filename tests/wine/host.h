// The Windows host of the shared tables (tests/cases/host.h): loads the stand-in TakeCmd.dll and
// quorvin.dll the way the shell does, reaches the plugin only through its exports, and puts
// recorders in the plugin's import table where Wine's own functions cannot be observed. Below,
// what only this host has: the loading itself, Wine's registry and files, and faults.
#pragma once

#include <windows.h>

#include <string>

#include "cases/cases.h"

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

// ==== The stand-in shell and the recorders ====

// The stand-in shell back at its start: empty history, default variables, no output.
void ResetShell();
// Every recorder back to its start: no key held, nothing recorded, no write or delete fault.
void ResetRecorders();
// How often GetForegroundWindow was called.
int ForegroundWindowCalls();

// RegSetValueExW goes to Wine's registry unless a status is set for a value name, which is
// then returned instead of writing (0 removes it).
void FailValueWrite(const std::u16string& name, LONG status);

// The same for RegDeleteValueW. Wine lets a key be written or not, but not written and refused
// a delete (both need KEY_SET_VALUE), so a refused delete is arranged here.
void FailValueDelete(const std::u16string& name, LONG status);

// ==== The world the plugin sees ====

// Deletes the settings key (and any key below it) under HKCU and HKLM.
void CleanRegistry();

// A directory below TempDir(), made with its full path returned.
std::u16string MakeDir(const std::u16string& relative);
// A file "...\ffff.wav" below TempDir() whose full path is `length` units long, made with the
// directories on its way.
std::u16string MakeFileOfLength(size_t length, char16_t fill);

std::u16string U16(const std::wstring& text);
std::wstring W(const std::u16string& text);

}  // namespace host
