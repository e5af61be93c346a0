// QueryTrueName of the stand-in shell on POSIX: the absolute path of a name, resolved against
// the process's current directory the way Windows' GetFullPathNameW resolves it: "." and ".."
// taken lexically, repeated separators collapsed. The file need not exist.
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "common/utf.h"
#include "host/host_api.h"
#include "shell/standin_shell.h"
#include "text/text.h"

namespace {

// `path` (absolute) with its "." and ".." components resolved and empty ones dropped; a
// trailing separator stays, as GetFullPathNameW keeps it.
std::string Normalize(const std::string& path) {
  std::vector<std::string> parts;
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // ".." at the root stays at the root
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  if (result.empty() || path.back() == '/') result += "/";
  return result;
}

}  // namespace

extern "C" int QueryTrueName(const char16_t* name, char16_t* out) {
  if (standin::FillsWithoutTerminator()) {  // a shell that leaves the full path unended
    for (size_t i = 0; i < kTrueNameCapacity; ++i) out[i] = u'x';
    return 0;
  }
  std::string path = standin::ToUtf8(name);
  if (path.empty()) return 1;  // nothing to resolve: the buffer stays as the caller left it
  if (path[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return 1;
    path = std::string(cwd) + "/" + path;
  }
  text::Copy(out, kTrueNameCapacity, standin::FromUtf8(Normalize(path)).c_str());
  return 0;
}
