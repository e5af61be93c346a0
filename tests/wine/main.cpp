// The end-to-end suite under Wine: quorvin.dll loaded beside a stand-in TakeCmd.dll, driven
// through its exports against Wine's registry, files and system messages.
//   quorvin_wine_tests TAKECMD_DLL QUORVIN_DLL [FILTER]
// Paths may be relative, Windows paths or, under Wine, Unix paths (taken as Z:\...).
#include <windows.h>

#include <cstdio>
#include <string>

#include "harness.h"
#include "host.h"

namespace {

// The full Windows path of an argument: each case changes the current directory.
std::wstring WindowsPath(std::wstring path) {
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  wchar_t full[MAX_PATH];
  const DWORD units = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return units > 0 && units < MAX_PATH ? std::wstring(full) : path;
}

// Every case starts in the same world: the plugin freshly loaded, the stand-in shell and the
// recorders at their start, no settings key in the registry, the temporary directory current.
bool SetUp() {
  host::ResetShell();
  host::ResetRecorders();
  host::CleanRegistry();
  SetCurrentDirectoryW(host::W(host::TempDir()).c_str());
  return host::LoadPlugin();
}

void TearDown() {
  if (!host::UnloadPlugin()) suite::Fail(__FILE__, __LINE__, "quorvin.dll stayed loaded");
  host::CleanRegistry();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: quorvin_wine_tests TAKECMD_DLL QUORVIN_DLL [FILTER]\n");
    return 2;
  }
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (!host::LoadShell(WindowsPath(argv[1]))) return 2;
  host::SetPluginPath(WindowsPath(argv[2]));

  std::string filter;
  if (argc > 3) {
    for (const wchar_t* p = argv[3]; *p != 0; ++p) filter.push_back(static_cast<char>(*p));
  }
  suite::SetHooks(SetUp, TearDown);
  return suite::RunAll(filter) == 0 ? 0 : 1;
}
