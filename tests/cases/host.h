// What a test host gives the shared tables: the plugin's exports, the shell around it and the
// system below it. The native host (tests/fixture.cpp) calls the plugin's code over the
// stand-ins; the Windows host (tests/wine/host.cpp) loads quorvin.dll under Wine beside a
// stand-in TakeCmd.dll. Both provide every function declared here, and nothing else differs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_api.h"

namespace host {

// ==== The world ====

// A fresh world for the next test: the plugin as just loaded (its records at their load-time
// values, not started), the stand-in shell and the recorders at their start, no saved settings,
// nothing held, the test's directory (TempDir()) the current one, where relative names are
// found. False, with a message, when the host could not make it.
bool ResetWorld();
// Ends the test's world: the files it made removed, the current directory as it was. False
// when the host could not (the plugin stayed loaded), or when the plugin left a registry key open.
bool LeaveWorld();
// The plugin unloaded and loaded again, as at the shell's next start: its records at their
// load-time values, not started; the shell, the registry and the files stay as they are.
bool ReloadPlugin();

// ==== The plugin's exports, as the shell calls them ====

PluginInfo* GetPluginInfo();
int InitializePlugin();
int ShutdownPlugin();
int Usage(const char16_t* name, char16_t* out);
int Help(const char16_t* name);
int key(KeyEvent* event);
int quorv(char16_t* arguments);

// ==== The stand-in shell ====

void SetHistory(const std::vector<std::u16string>& entries);
void SetEndBySelf(bool bySelf);
void SetVariable(const std::u16string& name, const std::u16string& value);
void RemoveVariable(const std::u16string& name);
std::u16string TakeStdout();
std::u16string TakeStderr();
int HonkCount();
int ClearEditLineCount();
int ExpandVariablesCount();  // how often the plugin read a variable

// ==== The system ====

// GetAsyncKeyState: the keys reported as held, and the keys asked about, in order.
void SetKeyHeld(int virtualKey, bool held);
std::vector<int> TakeKeyQueries();

// PlaySoundW: what was asked for. No sound is played.
struct Sound {
  uint16_t alias;       // the alias identifier, or 0 for a file
  std::u16string file;  // the file name, when not an alias
  const void* module;   // the module argument
  uint32_t flags;
};
std::vector<Sound> TakeSounds();

// MessageBoxW: what would have been shown; answered at once.
struct MessageBoxCall {
  const void* owner;
  std::u16string text;
  std::u16string caption;
  uint32_t type;
};
std::vector<MessageBoxCall> TakeMessageBoxes();
// The window GetForegroundWindow answers.
const void* ForegroundWindow();

// The system's text for a status (FormatMessageW from the system, no inserts, its lines joined),
// as the system ends it; empty when it has none.
std::u16string SystemMessage(uint32_t status);

// ==== Files ====

// The separator of the host's paths.
extern const char16_t kPathSeparator;
// A directory of the test's own, and an empty file or a directory in it (its full path); a
// relative name may hold kPathSeparator.
std::u16string TempDir();
std::u16string MakeFile(const std::u16string& name);
std::u16string MakeDir(const std::u16string& name);
bool RemoveFile(const std::u16string& path);

// ==== The registry: the settings key under HKCU, or HKLM with `machine` ====

bool SettingsKeyExists(bool machine);

// A value under the settings key, written (the key made when missing) and read past the plugin
// and any fault; removed past the plugin, before any fault is set.
struct StoredValue {
  bool found;
  uint32_t type;
  std::vector<uint8_t> data;
};
void PutValue(bool machine, const std::u16string& name, uint32_t type,
              const std::vector<uint8_t>& data);
StoredValue ReadValue(bool machine, const std::u16string& name);
void RemoveValue(bool machine, const std::u16string& name);

// The settings key made, and refusing to be opened for writing (access denied, status 5) as a
// key whose permissions deny it; it can still be read. The other root's key may refuse too.
void LockSettingsKey(bool machine);

// The plugin's writes (RegSetValueExW), or removals (RegDeleteValueW), of the value `name` fail
// with `status`; 0 lets them through again.
void FailValueWrite(const std::u16string& name, uint32_t status);
void FailValueDelete(const std::u16string& name, uint32_t status);

}  // namespace host
