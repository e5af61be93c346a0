// The Windows services the plugin uses, declared once in 16-bit text. On Windows each one is a
// thin cast onto the real API (platform-win32.cpp); elsewhere the stand-ins in standin/platform
// provide them with the same results. The plugin's logic never asks which one it runs on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace win {

// ==== Keyboard ====
constexpr int kVkShift = 0x10;
constexpr int kVkControl = 0x11;
constexpr int kVkMenu = 0x12;  // Alt

// The key's state now; the top bit (a negative result) means held.
int16_t GetAsyncKeyState(int virtualKey);

// ==== Sound ====
constexpr uint32_t kSndAsync = 0x1;
constexpr uint32_t kSndNoDefault = 0x2;
constexpr uint32_t kSndFilename = 0x20000;
constexpr uint32_t kSndAliasId = 0x110000;

// A system sound alias identifier passed where `PlaySoundW` expects a text pointer.
inline const char16_t* SoundAlias(uint16_t id) {
  return reinterpret_cast<const char16_t*>(static_cast<uintptr_t>(id));
}

// Starts a sound and returns without waiting (with kSndAsync). Non-zero on success.
int PlaySoundW(const char16_t* sound, void* module, uint32_t flags);

// ==== Files ====
constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeDevice = 0x40;

// Attribute bits of the file or directory `path` names, or kInvalidFileAttributes.
uint32_t GetFileAttributesW(const char16_t* path);

// ==== Registry ====
using HKEY = struct RegistryKey*;

inline HKEY PredefinedKey(uint32_t value) {
  return reinterpret_cast<HKEY>(static_cast<uintptr_t>(static_cast<int32_t>(value)));
}
inline HKEY CurrentUser() {
  return PredefinedKey(0x80000001u);
}
inline HKEY LocalMachine() {
  return PredefinedKey(0x80000002u);
}

constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyReadWrite = 0x2001F;
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr int32_t kErrorSuccess = 0;
constexpr int32_t kErrorFileNotFound = 2;
constexpr int32_t kErrorAccessDenied = 5;
constexpr int32_t kErrorInvalidParameter = 87;
constexpr int32_t kErrorMoreData = 234;

// Each returns 0 or a system error code, as the Windows functions of the same names.
int32_t RegOpenKeyExW(HKEY root, const char16_t* subKey, uint32_t options, uint32_t access,
                      HKEY* result);
int32_t RegCreateKeyExW(HKEY root, const char16_t* subKey, uint32_t reserved, char16_t* keyClass,
                        uint32_t options, uint32_t access, void* security, HKEY* result,
                        uint32_t* disposition);
int32_t RegQueryValueExW(HKEY key, const char16_t* name, uint32_t* reserved, uint32_t* type,
                         uint8_t* data, uint32_t* size);
int32_t RegSetValueExW(HKEY key, const char16_t* name, uint32_t reserved, uint32_t type,
                       const uint8_t* data, uint32_t size);
int32_t RegDeleteValueW(HKEY key, const char16_t* name);
int32_t RegCloseKey(HKEY key);

// ==== User interface and system text ====
constexpr int32_t kStdOutputHandle = -11;
constexpr int32_t kStdErrorHandle = -12;

void* GetStdHandle(int32_t which);
void* GetForegroundWindow();
int MessageBoxW(void* owner, const char16_t* text, const char16_t* caption, uint32_t type);

// Upper-cases `text` in place, unit by unit (the length never changes).
void CharUpperW(char16_t* text);

// Formats into `out` (at most 1024 units, as the Windows function). Supports "%s" (16-bit
// text) and "%d"/"%u" (32-bit numbers). Returns the units written.
int wsprintfW(char16_t* out, const char16_t* format, ...);

constexpr uint32_t kFormatMessageFlags = 0x12FF;  // from system, ignore inserts, max width

// The system's text for `messageId` into `buffer`; the units written, or 0 on failure.
uint32_t FormatMessageW(uint32_t flags, const void* source, uint32_t messageId, uint32_t languageId,
                        char16_t* buffer, uint32_t size, void* arguments);

}  // namespace win
