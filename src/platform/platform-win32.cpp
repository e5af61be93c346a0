// The Windows services of the plugin on Windows: each a thin cast from the plugin's 16-bit
// text onto the real API, which the DLL imports from the system libraries.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <cstdarg>

#include "platform/platform.h"

namespace win {

namespace {

inline const wchar_t* W(const char16_t* s) {
  return reinterpret_cast<const wchar_t*>(s);
}
inline wchar_t* W(char16_t* s) {
  return reinterpret_cast<wchar_t*>(s);
}
inline ::HKEY K(HKEY key) {
  return reinterpret_cast<::HKEY>(key);
}

static_assert(sizeof(wchar_t) == sizeof(char16_t), "16-bit wide text");
static_assert(sizeof(DWORD) == sizeof(uint32_t), "32-bit DWORD");

}  // namespace

int16_t GetAsyncKeyState(int virtualKey) {
  return ::GetAsyncKeyState(virtualKey);
}

int PlaySoundW(const char16_t* sound, void* module, uint32_t flags) {
  return ::PlaySoundW(W(sound), static_cast<HMODULE>(module), flags);
}

uint32_t GetFileAttributesW(const char16_t* path) {
  return ::GetFileAttributesW(W(path));
}

int32_t RegOpenKeyExW(HKEY root, const char16_t* subKey, uint32_t options, uint32_t access,
                      HKEY* result) {
  return ::RegOpenKeyExW(K(root), W(subKey), options, access, reinterpret_cast<::HKEY*>(result));
}

int32_t RegCreateKeyExW(HKEY root, const char16_t* subKey, uint32_t reserved, char16_t* keyClass,
                        uint32_t options, uint32_t access, void* security, HKEY* result,
                        uint32_t* disposition) {
  return ::RegCreateKeyExW(K(root), W(subKey), reserved, W(keyClass), options, access,
                           static_cast<LPSECURITY_ATTRIBUTES>(security),
                           reinterpret_cast<::HKEY*>(result),
                           reinterpret_cast<LPDWORD>(disposition));
}

int32_t RegQueryValueExW(HKEY key, const char16_t* name, uint32_t* reserved, uint32_t* type,
                         uint8_t* data, uint32_t* size) {
  return ::RegQueryValueExW(K(key), W(name), reinterpret_cast<LPDWORD>(reserved),
                            reinterpret_cast<LPDWORD>(type), data, reinterpret_cast<LPDWORD>(size));
}

int32_t RegSetValueExW(HKEY key, const char16_t* name, uint32_t reserved, uint32_t type,
                       const uint8_t* data, uint32_t size) {
  return ::RegSetValueExW(K(key), W(name), reserved, type, data, size);
}

int32_t RegDeleteValueW(HKEY key, const char16_t* name) {
  return ::RegDeleteValueW(K(key), W(name));
}

int32_t RegCloseKey(HKEY key) {
  return ::RegCloseKey(K(key));
}

void* GetStdHandle(int32_t which) {
  return ::GetStdHandle(static_cast<DWORD>(which));
}

void* GetForegroundWindow() {
  return ::GetForegroundWindow();
}

int MessageBoxW(void* owner, const char16_t* text, const char16_t* caption, uint32_t type) {
  return ::MessageBoxW(static_cast<HWND>(owner), W(text), W(caption), type);
}

void CharUpperW(char16_t* text) {
  ::CharUpperW(W(text));
}

int wsprintfW(char16_t* out, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = ::wvsprintfW(W(out), W(format), args);
  va_end(args);
  return written;
}

uint32_t FormatMessageW(uint32_t flags, const void* source, uint32_t messageId, uint32_t languageId,
                        char16_t* buffer, uint32_t size, void* arguments) {
  return ::FormatMessageW(flags, source, messageId, languageId, W(buffer), size,
                          static_cast<va_list*>(arguments));
}

}  // namespace win
