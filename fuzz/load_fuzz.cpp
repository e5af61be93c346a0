// Fuzzes `LoadSettings` with any registry contents under both roots (types, sizes, data) and
// a failing key open, and checks after every call: 0 means every field is in range and holds
// the stored value; any other result leaves the record exactly as it was. The count itself is
// checked against the stored values, read around the plugin.
//
// Input layout (see fuzz_input.h), from the end:
//   the starting settings (fuzz::SettingsFrom)
//   whether every key open fails
//   the roots loaded: 0 HKCU, 1 HKLM, 2 HKCU and then HKLM when HKCU fails (as at start-up)
//   then registry records of fuzz::FillRegistry until the input ends
#include <cstring>

#include "fuzz_input.h"
#include "keys/keys.h"
#include "platform/standin_platform.h"
#include "text/text.h"

namespace {

constexpr int kMaxRecords = 64;
constexpr uint32_t kMaxima[5] = {kBeepModeCount - 1, 1, 1, 1, 1};
constexpr uint32_t SettingsRecord::*kFields[5] = {
    &SettingsRecord::errorBeepMode, &SettingsRecord::caseInsensitive,
    &SettingsRecord::allowWhitespace, &SettingsRecord::executeOnFailure,
    &SettingsRecord::countingBase};

// What loading `root` must give, from the stored values: the result, and in `*expected`
// (which starts as the current record) the record afterwards.
int ExpectedLoad(win::HKEY root, bool openFails, SettingsRecord* expected) {
  const fuzz::KeySnapshot key = fuzz::Snapshot(root);
  if (openFails || !key.exists) return 1;

  int bad = 0;
  uint32_t values[5] = {};
  for (size_t i = 0; i < 5; ++i) {
    const bool good = key.present[i] && key.types[i] == win::kRegDword && key.data[i].size() == 4;
    if (good) std::memcpy(&values[i], key.data[i].data(), 4);
    if (!good || values[i] > kMaxima[i]) ++bad;
  }
  if (bad != 0) return bad;

  char16_t file[kWaveFileCapacity] = {};
  bool fileGood = false;
  if (key.present[5] && key.types[5] == win::kRegSz && key.data[5].size() <= sizeof file) {
    if (!key.data[5].empty()) std::memcpy(file, key.data[5].data(), key.data[5].size());
    fileGood = file[0] != 0 && file[kWaveFileCapacity - 1] == 0 && IsValidWaveFile(file);
  }
  for (size_t i = 0; i < 5; ++i) expected->*kFields[i] = values[i];
  if (fileGood) text::Copy(expected->customBeepFile, kWaveFileCapacity, file);
  if (expected->errorBeepMode == BeepCustom && !IsValidWaveFile(expected->customBeepFile)) {
    expected->errorBeepMode = BeepDefault;
  }
  return 0;
}

// Loads `root` and checks the outcome. The result of LoadSettings.
int CheckedLoad(win::HKEY root, bool openFails) {
  const SettingsRecord before = PluginSettings;
  SettingsRecord expected = PluginSettings;
  const int expectedResult = ExpectedLoad(root, openFails, &expected);

  const int result = LoadSettings(root);

  FUZZ_CHECK(result >= 0 && result <= 5, "the result counts at most five bad values");
  FUZZ_CHECK(result == expectedResult, "the result counts the bad values");
  FUZZ_CHECK(standin::OpenRegistryKeys() == 0, "the key is closed again");
  FUZZ_CHECK(fuzz::CustomFileTerminated(PluginSettings), "the custom file stays terminated");
  if (result == 0) {
    FUZZ_CHECK(fuzz::SettingsInRange(PluginSettings), "a load gives settings in range");
    FUZZ_CHECK(std::memcmp(&PluginSettings, &expected, sizeof expected) == 0,
               "a load applies the stored values");
  } else {
    FUZZ_CHECK(std::memcmp(&PluginSettings, &before, sizeof before) == 0,
               "a failed load leaves the record unchanged");
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetWorld();
  FuzzedDataProvider in(data, size);

  PluginSettings = fuzz::SettingsFrom(&in);
  const bool openFails = in.ConsumeBool();
  const unsigned roots = in.ConsumeIntegralInRange<unsigned>(0, 2);
  fuzz::FillRegistry(&in, kMaxRecords);
  if (openFails) standin::FailKeyOpen(win::kErrorAccessDenied);
  if (fuzz::Showing()) {
    fuzz::Show("open-fails", openFails);
    fuzz::Show("roots", roots);
  }

  const fuzz::KeySnapshot userBefore = fuzz::Snapshot(win::CurrentUser());
  const fuzz::KeySnapshot machineBefore = fuzz::Snapshot(win::LocalMachine());

  if (roots == 1) {
    CheckedLoad(win::LocalMachine(), openFails);
  } else if (CheckedLoad(win::CurrentUser(), openFails) != 0 && roots == 2) {
    CheckedLoad(win::LocalMachine(), openFails);
  }

  FUZZ_CHECK(fuzz::SameSnapshot(fuzz::Snapshot(win::CurrentUser()), userBefore) &&
                 fuzz::SameSnapshot(fuzz::Snapshot(win::LocalMachine()), machineBefore),
             "a load writes nothing to the registry");
  return 0;
}
