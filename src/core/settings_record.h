// The plugin's settings: the process-wide record, its defaults, the table of its numeric
// settings that loading, saving, resetting, the options of `quorv` and its report all go by,
// the beep modes and the test of a custom beep file.
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

// ==== The numeric settings, one row each ====

// How the report shows a setting's value after the number.
enum class SettingDisplay : uint8_t {
  kNumberOnly,  // the number alone
  kYesNo,       // (Yes) or (No)
  kBeepMode,    // the beep mode's name; the custom beep's file follows on a line of its own
};

// One numeric setting: everything the registry, the options of `quorv` and its report know of
// it.
struct NumericSetting {
  char16_t letter;                  // the option of `quorv` that sets it: 'A' for /A
  const char16_t* valueName;        // its REG_DWORD value under the settings key
  uint32_t SettingsRecord::*field;  // where the record holds it
  uint32_t maximum;  // the largest value; a 0/1 setting (maximum 1) takes any non-zero option
                     // value as 1, a larger maximum refuses an option value beyond it
  const char16_t* optionName;  // the name in the messages about a bad option value
  const char16_t* label;       // the report's line before the option, dots included
  SettingDisplay display;      // what the report shows after the number
};

// In the order the registry values are read and written and the options are applied. The report
// lists them in the order of their letters.
inline constexpr NumericSetting kNumericSettings[] = {
    {u'B', u"Error Beep Mode", &SettingsRecord::errorBeepMode, kBeepModeCount - 1, u"ErrorBeepMode",
     u"  Error beep mode  . . . . . . . . ", SettingDisplay::kBeepMode},
    {u'I', u"Case Insensitive", &SettingsRecord::caseInsensitive, 1, u"CaseInsensitive",
     u"  Case insensitive . . . . . . . . ", SettingDisplay::kYesNo},
    {u'A', u"Allow Whitespace", &SettingsRecord::allowWhitespace, 1, u"AllowSpaces",
     u"  Allow whitespace . . . . . . . . ", SettingDisplay::kYesNo},
    {u'X', u"Execute on Failure", &SettingsRecord::executeOnFailure, 1, u"ExecuteOnFail",
     u"  Execute on failure . . . . . . . ", SettingDisplay::kYesNo},
    {u'Z', u"Counting Base", &SettingsRecord::countingBase, 1, u"CountingBase",
     u"  Entries are numbered from  . . . ", SettingDisplay::kNumberOnly},
};
constexpr size_t kNumericSettingCount = sizeof kNumericSettings / sizeof kNumericSettings[0];
