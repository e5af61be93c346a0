// What only Windows shows of the plugin's frame: the version resource of the DLL file, and the
// foreground window asked for by Help.
#include <windows.h>

#include <string>
#include <vector>

#include "host.h"

namespace {

class WindowsFrame : public HostTest {};

TEST_F(WindowsFrame, VersionResourceNamesTheProduct) {
  const std::wstring& path = host::PluginPath();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  ASSERT_NE(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>((0u << 16) | 70u));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(0));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  const struct {
    const wchar_t* name;
    std::u16string value;
  } rows[] = {
      {L"ProductName", u"Quorvin"},
      {L"FileDescription", u"Access command history with a bang!"},
      {L"FileVersion", u"0.70.0"},
      {L"ProductVersion", u"0.70.0"},
      {L"OriginalFilename", u"quorvin.dll"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Show(host::U16(row.name)));
    wchar_t* value = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + row.name;
    EXPECT_TRUE(
        VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
    if (value != nullptr) {
      EXPECT_TEXT(host::U16(value), row.value);
    }
  }
}

// The owner of the help's message box is the foreground window as it is at each call.
TEST_F(WindowsFrame, HelpAsksForTheForegroundWindowAtEachCall) {
  for (const char16_t* name : {u"QUORV", u"Quorv", u"quorv"}) EXPECT_EQ(host::Help(name), 1);
  EXPECT_EQ(host::ForegroundWindowCalls(), 3);
}

}  // namespace
