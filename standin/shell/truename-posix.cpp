// QueryTrueName of the stand-in shell on POSIX: the absolute path of a name, resolved against
// the process's current directory. The file need not exist.
#include <unistd.h>

#include <climits>
#include <string>

#include "common/utf.h"
#include "host/host_api.h"
#include "text/text.h"

extern "C" int QueryTrueName(const char16_t* name, char16_t* out) {
  std::string path = standin::ToUtf8(name);
  if (path.empty()) return 1;  // nothing to resolve: the buffer stays as the caller left it
  if (path[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return 1;
    std::string base(cwd);
    path = base == "/" ? "/" + path : base + "/" + path;
  }
  text::Copy(out, kTrueNameCapacity, standin::FromUtf8(path).c_str());
  return 0;
}
