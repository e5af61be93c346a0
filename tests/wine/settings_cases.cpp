// What only Windows shows of the saved settings (their tables are in tests/cases/persistence.cpp):
// Wine's registry itself, a stored file name that opens a device, and the system's texts as they
// come.
#include <windows.h>

#include <string>

#include "host.h"

namespace {

class WindowsRegistry : public HostTest {};

// Wine, like Windows, refuses a four-byte query of an eight-byte REG_DWORD, so that the plugin
// must not read its buffer after such a query (the damaged keys of the shared table).
TEST_F(WindowsRegistry, EightByteDwordIsRefusedByTheQuery) {
  host::PutValue(false, u"Allow Whitespace", REG_DWORD, {0, 0, 0, 0, 9, 9, 9, 9});
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Velloran\\Quorvin", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD type = REG_NONE, data = 0xFFFFFFFFu, size = 4;
  EXPECT_EQ(RegQueryValueExW(key, L"Allow Whitespace", nullptr, &type,
                             reinterpret_cast<BYTE*>(&data), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, static_cast<DWORD>(8));
  RegCloseKey(key);
}

// A real file named nul.wav, made through \\?\ (which takes the name as it is): Wine's look-up
// calls it an ordinary file, yet opening the name opens the device.
TEST_F(WindowsRegistry, StoredFileNameOfADeviceIsNotTaken) {
  const std::u16string device = host::TempDir() + u"\\nul.wav";
  const std::wstring literal = L"\\\\?\\" + host::W(device);
  HANDLE made = CreateFileW(literal.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_TRUE(made != INVALID_HANDLE_VALUE);
  CloseHandle(made);
  EXPECT_TRUE(GetFileAttributesW(host::W(device).c_str()) == FILE_ATTRIBUTE_ARCHIVE);
  cases::PutSettings(false, {6, 0, 0, 1, 1, u""});
  host::PutValue(false, cases::kFileValueName, REG_SZ, cases::Text(device));
  cases::Restart();
  EXPECT_TEXT(cases::Shown(), expected::Report({1, 0, 0, 1, 1, u""}));
  EXPECT_TRUE(DeleteFileW(literal.c_str()));  // by the same literal name: not the device
}

// Wine's texts end in white space that the plugin must not print (the failed saves of the
// shared table).
TEST_F(WindowsRegistry, SystemTextsEndInWhiteSpace) {
  const std::u16string raw = host::SystemMessage(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(raw.empty());
  EXPECT_TRUE(raw.back() == u' ' || raw.back() == u'\n');
  EXPECT_NE(cases::SystemText(ERROR_ACCESS_DENIED), raw);
}

}  // namespace
