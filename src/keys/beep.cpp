// The error beep of a failed expansion.
#include "core/settings_record.h"
#include "keys/keys.h"
#include "platform/platform.h"

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
