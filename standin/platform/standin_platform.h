// Controls of the stand-ins for the Windows services (keyboard, sound, message box, registry),
// for tests and the stand-in shell program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace standin {

// ==== Keyboard ====
void SetKeyHeld(int virtualKey, bool held);
void ReleaseAllKeys();
// The keys GetAsyncKeyState was asked about since the last call, in order: the first
// kKeyQueriesKept of them.
constexpr size_t kKeyQueriesKept = 64;
std::vector<int> TakeKeyQueries();

// ==== Sound ====
// One PlaySoundW request: an alias identifier (sound empty) or a file name.
struct SoundRequest {
  uint16_t aliasId;     // the alias identifier, or 0 for a file name
  std::u16string file;  // the file name, when aliasId is 0
  uint32_t flags;       // the flags passed
  void* module;         // the module passed
};
std::vector<SoundRequest> TakeSoundRequests();

// ==== Message boxes ====
struct MessageBoxCall {
  void* owner;
  std::u16string text;
  std::u16string caption;
  uint32_t type;
};
std::vector<MessageBoxCall> TakeMessageBoxes();
// With echo on, a message box prints its caption and text to standard output.
void SetMessageBoxEcho(bool echo);

// ==== System messages ====
// Gives FormatMessageW a text of the test's own for `code`, in place of the built-in table;
// ResetSystemMessages removes every such text.
void SetSystemMessage(uint32_t code, const std::u16string& text);
void ResetSystemMessages();

// The window GetForegroundWindow reports.
void* ForegroundWindow();

// ==== Registry ====
// A typed value as stored.
struct RegistryValue {
  uint32_t type;
  std::vector<uint8_t> data;
};

// Empties both roots and removes every injected fault; no file.
void ResetRegistry();

// Faults: the next and every later open or create of `subKey` (under any root) fails with
// `status`; 0 removes the fault.
void FailKeyOpen(int32_t status);
void FailKeyCreate(int32_t status);
// Writes, or deletes, of the value `name` fail with `status` (0 removes the fault).
void FailValueWrite(const std::u16string& name, int32_t status);
void FailValueDelete(const std::u16string& name, int32_t status);

// Direct access for tests, bypassing faults. `path` is relative to the root.
void PutRegistryValue(win::HKEY root, const std::u16string& path, const std::u16string& name,
                      uint32_t type, const std::vector<uint8_t>& data);
void PutRegistryDword(win::HKEY root, const std::u16string& path, const std::u16string& name,
                      uint32_t value);
void PutRegistryString(win::HKEY root, const std::u16string& path, const std::u16string& name,
                       const std::u16string& value);
void CreateRegistryKey(win::HKEY root, const std::u16string& path);
bool GetRegistryValue(win::HKEY root, const std::u16string& path, const std::u16string& name,
                      RegistryValue* out);
bool RegistryKeyExists(win::HKEY root, const std::u16string& path);
// Keys opened and not yet closed.
int OpenRegistryKeys();

// Backs the registry by a file: loads it now (a missing file is an empty store; a damaged
// one is an empty store and one warning on standard error) and writes it after every change.
// An empty path detaches the file. Returns false when the file was damaged or unreadable.
bool UseRegistryFile(const std::string& path);

}  // namespace standin
