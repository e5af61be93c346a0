// The Windows host of the shared tables (tests/cases/host.h): loads the stand-in TakeCmd.dll and
// quorvin.dll the way the shell does, reaches the plugin only through its exports, and puts
// recorders in the plugin's import table where Wine's own functions cannot be observed. Below,
// what only this host has: the loading itself and what the recorders count.
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

// ==== The recorders ====

// How often GetForegroundWindow was called.
int ForegroundWindowCalls();

std::u16string U16(const std::wstring& text);
std::wstring W(const std::u16string& text);

}  // namespace host
