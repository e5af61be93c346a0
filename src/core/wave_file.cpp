// The beep modes' display names and the test shared by everything that accepts a custom beep
// file.
#include "core/core.h"
#include "platform/platform.h"
#include "text/text.h"

const char16_t BeepModeNames[kBeepModeCount][kBeepModeNameCapacity] = {
    u"None", u"Default Beep", u"Asterisk", u"Exclamation", u"Critical Stop", u"Question", u"Custom",
};

int IsValidWaveFile(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return 0;
  const size_t length = text::BoundedLength(path, kWaveFileCapacity);
  if (length >= kWaveFileCapacity) return 0;

  // The extension begins at the last '.' that no separator follows.
  const char16_t* dot = nullptr;
  for (const char16_t* p = path; *p != 0; ++p) {
    if (*p == u'.') {
      dot = p;
    } else if (*p == u'/' || *p == u'\\' || *p == u':') {
      dot = nullptr;
    }
  }
  if (dot == nullptr || !text::EqualsIgnoreAsciiCase(dot, u".wav")) return 0;

  const uint32_t attributes = win::GetFileAttributesW(path);
  if (attributes == win::kInvalidFileAttributes) return 0;
  if (attributes & (win::kFileAttributeDirectory | win::kFileAttributeDevice)) return 0;
  return 1;
}
