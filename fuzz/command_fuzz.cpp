// Fuzzes the exported settings command `quorv` with any argument text, starting settings,
// registry contents and injected registry faults, and checks after every call: the result is
// 0, 1 or 2; a usage error changes no setting and no registry value; the settings stay in
// range; no registry key is left open. The file system is only looked at, never written.
//
// Input layout (see fuzz_input.h), from the end:
//   the starting settings (fuzz::SettingsFrom)
//   whether the shell runs a batch file (the error prefix then expands _batchname and
//     _batchline, which may hold '%')
//   faults: whether every key open fails; whether every key create fails; the value whose
//     write fails, 0-6 (the six values, or none); the status they give
//   the number of registry records, 0-31, then the records of fuzz::FillRegistry
// and the rest, from the front, is the argument text of fuzz::LastText (up to 10000 units, past
// the splitter's buffer).
#include <cstring>
#include <memory>

#include "fuzz_input.h"
#include "keys/keys.h"
#include "platform/standin_platform.h"
#include "plugin/plugin.h"
#include "shell/standin_shell.h"

namespace {

constexpr size_t kMaxTextUnits = 10000;
constexpr int32_t kStatuses[] = {5, 2, 87, 1009, 1392, 1, 234, static_cast<int32_t>(0x80070005)};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetWorld();
  FuzzedDataProvider in(data, size);

  PluginSettings = fuzz::SettingsFrom(&in);
  const bool batch = in.ConsumeBool();
  const bool openFault = in.ConsumeBool();
  const bool createFault = in.ConsumeBool();
  const unsigned writeFault = in.ConsumeIntegralInRange<unsigned>(0, 6);
  const int32_t status = in.PickValueInArray(kStatuses);
  const int records = in.ConsumeIntegralInRange<int>(0, 31);

  if (batch) {
    standin::SetVariable(u"_batch", u"1");
    standin::SetVariable(u"_batchname", u"C:\\batch\\100%s.btm");
    standin::SetVariable(u"_batchline", u"%d");
  }
  // The registry is filled before any fault is injected.
  fuzz::FillRegistry(&in, records);
  if (openFault) standin::FailKeyOpen(status);
  if (createFault) standin::FailKeyCreate(status);
  if (writeFault < 6) standin::FailValueWrite(fuzz::kValueNames[writeFault], status);
  const bool anyWriteFault = createFault || writeFault < 6;

  const std::u16string text = fuzz::LastText(&in, kMaxTextUnits);
  if (fuzz::Showing()) {
    fuzz::Show("batch", batch);
    fuzz::Show("open-fails", openFault);
    fuzz::Show("create-fails", createFault);
    fuzz::Show("write-fails", writeFault);
    fuzz::Show("status", status);
    fuzz::Show("text", text);
  }
  std::unique_ptr<char16_t[]> argument(new char16_t[text.size() + 1]);
  std::memcpy(argument.get(), text.data(), text.size() * sizeof(char16_t));
  argument[text.size()] = 0;

  const SettingsRecord before = PluginSettings;
  const fuzz::KeySnapshot userBefore = fuzz::Snapshot(win::CurrentUser());
  const fuzz::KeySnapshot machineBefore = fuzz::Snapshot(win::LocalMachine());

  const int result = quorv(argument.get());

  FUZZ_CHECK(result == 0 || result == 1 || result == 2, "the result is 0, 1 or 2");
  FUZZ_CHECK(fuzz::SettingsInRange(PluginSettings), "the settings stay in range");
  FUZZ_CHECK(fuzz::CustomFileTerminated(PluginSettings), "the custom file stays terminated");
  FUZZ_CHECK(standin::OpenRegistryKeys() == 0, "every registry key is closed again");

  const std::u16string err = standin::TakeStderr();
  standin::TakeStdout();
  if (result == 1) {
    FUZZ_CHECK(std::memcmp(&PluginSettings, &before, sizeof before) == 0,
               "a usage error leaves the settings exactly as they were");
    FUZZ_CHECK(fuzz::SameSnapshot(fuzz::Snapshot(win::CurrentUser()), userBefore) &&
                   fuzz::SameSnapshot(fuzz::Snapshot(win::LocalMachine()), machineBefore),
               "a usage error writes nothing to the registry");
    FUZZ_CHECK(err.find(u"Quorvin plugin: ") == 0, "a usage error is written after the prefix");
  }
  if (result == 2) {
    FUZZ_CHECK(anyWriteFault, "a save fails only when a registry write fails");
    FUZZ_CHECK(err.find(u"Error saving settings to the registry") != std::u16string::npos,
               "a failed save says so");
  }
  if (result != 1 && PluginSettings.errorBeepMode == BeepCustom) {
    // Only the help leaves the record as it was; every other path drops an unusable mode 6.
    FUZZ_CHECK(IsValidWaveFile(PluginSettings.customBeepFile) ||
                   std::memcmp(&PluginSettings, &before, sizeof before) == 0,
               "mode 6 stands only with a usable custom file");
  }
  return 0;
}
