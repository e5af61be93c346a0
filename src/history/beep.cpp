// The error beep of a failed expansion, and the test shared by everything that accepts a
// custom beep file.
#include "history/history.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "text/text.h"

const char16_t BeepModeNames[kBeepModeCount][kBeepModeNameCapacity] = {
    u"None", u"Default Beep", u"Asterisk", u"Exclamation", u"Critical Stop", u"Question", u"Custom",
};

namespace {

// System sound aliases: 'S' in the low byte, the alias's own character in the high byte.
constexpr uint16_t kAliasIds[] = {
    0x2A53,  // BeepAsterisk: 'S','*'
    0x2153,  // BeepExclamation: 'S','!'
    0x4853,  // BeepCriticalStop: 'S','H'
    0x3F53,  // BeepQuestion: 'S','?'
};

constexpr uint32_t kAliasFlags = win::kSndAliasId | win::kSndNoDefault | win::kSndAsync;
constexpr uint32_t kFileFlags = win::kSndFilename | win::kSndAsync;
constexpr uint32_t kErrorInvalidParameter = 87;

}  // namespace

uint32_t PlayErrorBeep() {
  const uint32_t mode = PluginSettings.errorBeepMode;
  switch (mode) {
    case BeepNone:
      return 0;
    case BeepDefault:
      honk();
      return 0;
    case BeepAsterisk:
    case BeepExclamation:
    case BeepCriticalStop:
    case BeepQuestion:
      win::PlaySoundW(win::SoundAlias(kAliasIds[mode - BeepAsterisk]), nullptr, kAliasFlags);
      return 0;
    case BeepCustom:
      if (IsValidWaveFile(PluginSettings.customBeepFile)) {
        win::PlaySoundW(PluginSettings.customBeepFile, nullptr, kFileFlags);
      } else {
        honk();
      }
      return 0;
    default:
      return kErrorInvalidParameter;
  }
}

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
