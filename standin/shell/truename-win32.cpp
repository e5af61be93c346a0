// QueryTrueName of the stand-in shell on Windows: the full path of a name by the system's own
// GetFullPathNameW, against the process's current directory. The file need not exist.
#include <windows.h>

#include "host/host_api.h"
#include "shell/standin_shell.h"

extern "C" int QueryTrueName(const char16_t* name, char16_t* out) {
  if (standin::FillsWithoutTerminator()) {  // a shell that leaves the full path unended
    for (size_t i = 0; i < kTrueNameCapacity; ++i) out[i] = u'x';
    return 0;
  }
  if (name == nullptr || name[0] == 0) return 1;  // the buffer stays as the caller left it
  wchar_t* full = reinterpret_cast<wchar_t*>(out);
  const DWORD units = GetFullPathNameW(reinterpret_cast<const wchar_t*>(name),
                                       static_cast<DWORD>(kTrueNameCapacity), full, nullptr);
  if (units == 0 || units >= kTrueNameCapacity) {
    out[0] = 0;  // no path, or one too long for the buffer: nothing usable is left in it
    return 1;
  }
  return 0;
}
