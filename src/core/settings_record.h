// The plugin's settings: the process-wide record, its defaults, the beep modes and the test of a
// custom beep file.
#pragma once

#include <cstddef>
#include <cstdint>

// ==== The settings record ====

constexpr size_t kWaveFileCapacity = 256;  // custom beep file: 255 units and the terminator

// The plugin's settings. Set to the defaults at load; changed only by LoadSettings,
// ResetSettings and the settings command.
struct SettingsRecord {
  uint32_t errorBeepMode;                      // a BeepMode, 0 to 6
  uint32_t allowWhitespace;                    // 0/1: white space allowed after the first bang
  uint32_t executeOnFailure;                   // 0/1: a failed expansion still runs the line
  uint32_t caseInsensitive;                    // 0/1: searches fold A-Z
  uint32_t countingBase;                       // 0/1: the number of the oldest entry
  char16_t customBeepFile[kWaveFileCapacity];  // full path of the custom beep, or empty
};

// The defaults the record holds from the moment the library is loaded.
constexpr SettingsRecord kDefaultSettings = {1, 1, 1, 0, 0, {}};

extern SettingsRecord PluginSettings;

// ==== Beep modes and the custom beep file ====

// The error beep modes, as stored in the settings.
enum BeepMode : uint32_t {
  BeepNone = 0,
  BeepDefault = 1,
  BeepAsterisk = 2,
  BeepExclamation = 3,
  BeepCriticalStop = 4,
  BeepQuestion = 5,
  BeepCustom = 6,
};

constexpr uint32_t kBeepModeCount = 7;
constexpr size_t kBeepModeNameCapacity = 15;

// Display names of the beep modes, indexed by mode 0 to 6.
extern const char16_t BeepModeNames[kBeepModeCount][kBeepModeNameCapacity];

// Whether `path` names an existing file (not a directory or device) with the extension .wav in
// any case and at most 255 units, whose name is no reserved device name (CON, NUL, COM1 and the
// like, in any case, before its first dot and trailing blanks). The path is used as it is.
bool IsValidWaveFile(const char16_t* path);
