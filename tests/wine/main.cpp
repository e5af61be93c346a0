// The suite under Wine: quorvin.dll loaded beside a stand-in TakeCmd.dll, driven through its
// exports against Wine's registry, files and system messages; the shared tables of tests/cases
// and the checks only Windows can make.
//   quorvin_wine_tests [GOOGLETEST OPTIONS] TAKECMD_DLL QUORVIN_DLL
// Paths may be relative, Windows paths or, under Wine, Unix paths (taken as Z:\...).
#include <windows.h>

#include <cstdio>
#include <string>

#include "host.h"

namespace {

// The full Windows path of an argument: each test changes the current directory.
std::wstring WindowsPath(std::wstring path) {
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  wchar_t full[MAX_PATH];
  const DWORD units = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return units > 0 && units < MAX_PATH ? std::wstring(full) : path;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);  // takes its own options out of argv
  if (argc != 3) {
    fprintf(stderr, "usage: quorvin_wine_tests [GOOGLETEST OPTIONS] TAKECMD_DLL QUORVIN_DLL\n");
    return 2;
  }
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (!host::LoadShell(WindowsPath(argv[1]))) return 2;
  host::SetPluginPath(WindowsPath(argv[2]));
  return RUN_ALL_TESTS();
}
