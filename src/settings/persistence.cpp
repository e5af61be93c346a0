// The settings record's persistence under kSettingsKeyPath in the registry.
#include <cstring>

#include "core/core.h"
#include "settings/settings.h"
#include "text/text.h"

namespace {

constexpr const char16_t* kFileValueName = u"Error Beep Filename";
constexpr uint32_t kDwordSize = 4;
constexpr uint32_t kFileBytes = kWaveFileCapacity * sizeof(char16_t);

}  // namespace

int LoadSettings(win::HKEY root) {
  char16_t file[kWaveFileCapacity];
  memset(file, 0, sizeof file);

  win::HKEY key = nullptr;
  if (win::RegOpenKeyExW(root, kSettingsKeyPath, 0, win::kKeyRead, &key) != win::kErrorSuccess) {
    return 1;
  }

  // A value counts only when the query succeeded with exactly four bytes of REG_DWORD: after
  // a query that did not fit, Windows leaves the buffer's content undefined.
  uint32_t values[kNumericSettingCount];
  int bad = 0;
  for (size_t i = 0; i < kNumericSettingCount; ++i) {
    uint32_t type = win::kRegNone;
    uint32_t size = kDwordSize;
    values[i] = 0xFFFFFFFFu;
    const int32_t status = win::RegQueryValueExW(key, kNumericSettings[i].valueName, nullptr, &type,
                                                 reinterpret_cast<uint8_t*>(&values[i]), &size);
    const bool good = status == win::kErrorSuccess && type == win::kRegDword &&
                      size == kDwordSize && values[i] <= kNumericSettings[i].maximum;
    if (!good) ++bad;
  }

  uint32_t type = win::kRegNone;
  uint32_t size = kFileBytes;
  const int32_t fileStatus = win::RegQueryValueExW(key, kFileValueName, nullptr, &type,
                                                   reinterpret_cast<uint8_t*>(file), &size);
  const bool fileGood = fileStatus == win::kErrorSuccess && type == win::kRegSz && file[0] != 0 &&
                        file[kWaveFileCapacity - 1] == 0 && IsValidWaveFile(file);

  if (bad == 0) {
    for (size_t i = 0; i < kNumericSettingCount; ++i) {
      PluginSettings.*kNumericSettings[i].field = values[i];
    }
    if (fileGood) text::Copy(PluginSettings.customBeepFile, kWaveFileCapacity, file);
    FallBackToDefaultBeep();
  }
  win::RegCloseKey(key);
  return bad;
}

int SaveSettings(win::HKEY root) {
  win::HKEY key = nullptr;
  const int32_t opened = win::RegCreateKeyExW(root, kSettingsKeyPath, 0, nullptr, 0,
                                              win::kKeyReadWrite, nullptr, &key, nullptr);
  if (opened != win::kErrorSuccess) return opened;  // e.g. access denied to HKLM

  int result = 0;
  for (const NumericSetting& setting : kNumericSettings) {
    const uint32_t data = PluginSettings.*setting.field;
    const int32_t status = win::RegSetValueExW(key, setting.valueName, 0, win::kRegDword,
                                               reinterpret_cast<const uint8_t*>(&data), kDwordSize);
    if (status != win::kErrorSuccess) result = status;  // the last failure is reported
  }

  const char16_t* file = PluginSettings.customBeepFile;
  if (IsValidWaveFile(file)) {
    const auto bytes = static_cast<uint32_t>((text::Length(file) + 1) * sizeof(char16_t));
    const int32_t status = win::RegSetValueExW(key, kFileValueName, 0, win::kRegSz,
                                               reinterpret_cast<const uint8_t*>(file), bytes);
    if (status != win::kErrorSuccess) result = status;
  } else {
    // A file name left behind would come back at the next load: the save fails unless the
    // value is gone (deleted now, or never there).
    const int32_t status = win::RegDeleteValueW(key, kFileValueName);
    if (status != win::kErrorSuccess && status != win::kErrorFileNotFound) result = status;
  }
  win::RegCloseKey(key);
  return result;
}

void FallBackToDefaultBeep() {
  if (PluginSettings.errorBeepMode == BeepCustom &&
      !IsValidWaveFile(PluginSettings.customBeepFile)) {
    PluginSettings.errorBeepMode = BeepDefault;
  }
}

void ResetSettings() {
  for (const NumericSetting& setting : kNumericSettings) {
    PluginSettings.*setting.field = kDefaultSettings.*setting.field;
  }
}
