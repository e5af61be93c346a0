// The beep modes' display names and the test shared by everything that accepts a custom beep
// file.
#include "core/settings_record.h"
#include "platform/platform.h"
#include "text/text.h"

namespace {

// The reserved device names Windows opens whatever folder or extension the name is given; COM
// and LPT take a digit 1 to 9 after them.
constexpr const char16_t* kDeviceNames[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
constexpr const char16_t* kNumberedDeviceNames[] = {u"COM", u"LPT"};

// `name` (`length` units, no terminator) is `device` with A-Z in any case.
bool SameName(const char16_t* name, size_t length, const char16_t* device) {
  size_t i = 0;
  for (; i < length && device[i] != 0; ++i) {
    if (text::FoldAscii(name[i]) != text::FoldAscii(device[i])) return false;
  }
  return i == length && device[i] == 0;
}

// The last component of a path, from `start` to its first '.', names a device. Windows reads
// a device name only up to the first dot (NUL.tar.gz is NUL) and ignores blanks before it
// (con .wav is CON); the dots are gone with the cut.
bool IsDeviceName(const char16_t* start) {
  size_t length = 0;
  while (start[length] != 0 && start[length] != u'.') ++length;
  while (length > 0 && start[length - 1] == u' ') --length;
  for (const char16_t* device : kDeviceNames) {
    if (SameName(start, length, device)) return true;
  }
  if (length == 0 || start[length - 1] < u'1' || start[length - 1] > u'9') return false;
  for (const char16_t* device : kNumberedDeviceNames) {
    if (SameName(start, length - 1, device)) return true;
  }
  return false;
}

}  // namespace

const char16_t BeepModeNames[kBeepModeCount][kBeepModeNameCapacity] = {
    u"None", u"Default Beep", u"Asterisk", u"Exclamation", u"Critical Stop", u"Question", u"Custom",
};

bool IsValidWaveFile(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return false;
  const size_t length = text::BoundedLength(path, kWaveFileCapacity);
  if (length >= kWaveFileCapacity) return false;

  // The extension begins at the last '.' that no separator follows; the last component
  // begins after the last separator.
  const char16_t* dot = nullptr;
  const char16_t* component = path;
  for (const char16_t* p = path; *p != 0; ++p) {
    if (*p == u'.') {
      dot = p;
    } else if (*p == u'/' || *p == u'\\' || *p == u':') {
      dot = nullptr;
      component = p + 1;
    }
  }
  if (dot == nullptr || !text::EqualsIgnoreAsciiCase(dot, u".wav")) return false;
  // Before the file system: C:\x\con.wav would open the console, not a file.
  if (IsDeviceName(component)) return false;

  const uint32_t attributes = win::GetFileAttributesW(path);
  if (attributes == win::kInvalidFileAttributes) return false;
  if (attributes & (win::kFileAttributeDirectory | win::kFileAttributeDevice)) return false;
  return true;
}
