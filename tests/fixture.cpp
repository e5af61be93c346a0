// The native host: the plugin's exports called directly, the stand-ins as the shell and the
// system, files in a directory of the test's own below /tmp.
#include "fixture.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "common/utf.h"

namespace {

// The directory of the running test's files, made on first use; removed when it ends.
std::string WorldDirectory;
// The current directory before the test entered its own, to go back to when it ends.
std::string PreviousDirectory;

win::HKEY Root(bool machine) {
  return machine ? win::LocalMachine() : win::CurrentUser();
}

}  // namespace

namespace host {

bool ResetWorld() {
  standin::Reset();
  standin::ReleaseAllKeys();
  standin::TakeKeyQueries();
  standin::TakeSoundRequests();
  standin::TakeMessageBoxes();
  standin::ResetRegistry();
  standin::ResetSystemMessages();
  if (PreviousDirectory.empty()) {
    char previous[4096];
    EXPECT_NE(getcwd(previous, sizeof previous), nullptr);
    PreviousDirectory = previous;
  }
  EXPECT_EQ(chdir(standin::ToUtf8(TempDir()).c_str()), 0);
  return ReloadPlugin();
}

bool LeaveWorld() {
  if (!PreviousDirectory.empty()) {
    EXPECT_EQ(chdir(PreviousDirectory.c_str()), 0);
    PreviousDirectory.clear();
  }
  if (!WorldDirectory.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(WorldDirectory, ignored);
    WorldDirectory.clear();
  }
  const int open = standin::OpenRegistryKeys();
  if (open != 0) fprintf(stdout, "the plugin left %d registry keys open\n", open);
  return open == 0;
}

bool ReloadPlugin() {
  PluginSettings = kDefaultSettings;
  HostMajorVersion = 0;
  return true;
}

PluginInfo* GetPluginInfo() {
  return ::GetPluginInfo();
}
int InitializePlugin() {
  return ::InitializePlugin();
}
int ShutdownPlugin() {
  return ::ShutdownPlugin();
}
int Usage(const char16_t* name, char16_t* out) {
  return ::Usage(name, out);
}
int Help(const char16_t* name) {
  return ::Help(name);
}
int key(KeyEvent* event) {
  return ::key(event);
}
int quorv(char16_t* arguments) {
  return ::quorv(arguments);
}

void SetHistory(const std::vector<std::u16string>& entries) {
  standin::SetHistory(entries);
}
void SetEndBySelf(bool bySelf) {
  standin::SetEndBySelf(bySelf);
}
void SetVariable(const std::u16string& name, const std::u16string& value) {
  standin::SetVariable(name, value);
}
void RemoveVariable(const std::u16string& name) {
  standin::RemoveVariable(name);
}
std::u16string TakeStdout() {
  return standin::TakeStdout();
}
std::u16string TakeStderr() {
  return standin::TakeStderr();
}
int HonkCount() {
  return standin::HonkCount();
}
int ClearEditLineCount() {
  return standin::ClearEditLineCount();
}
int ExpandVariablesCount() {
  return standin::ExpandVariablesCount();
}

void SetKeyHeld(int virtualKey, bool held) {
  standin::SetKeyHeld(virtualKey, held);
}
std::vector<int> TakeKeyQueries() {
  return standin::TakeKeyQueries();
}

std::vector<Sound> TakeSounds() {
  std::vector<Sound> sounds;
  for (const standin::SoundRequest& s : standin::TakeSoundRequests()) {
    sounds.push_back({s.aliasId, s.file, s.module, s.flags});
  }
  return sounds;
}

std::vector<MessageBoxCall> TakeMessageBoxes() {
  std::vector<MessageBoxCall> boxes;
  for (const standin::MessageBoxCall& b : standin::TakeMessageBoxes()) {
    boxes.push_back({b.owner, b.text, b.caption, b.type});
  }
  return boxes;
}
const void* ForegroundWindow() {
  return standin::ForegroundWindow();
}

std::u16string SystemMessage(uint32_t status) {
  char16_t text[kErrorTextCapacity] = {};
  const uint32_t units = win::FormatMessageW(win::kFormatMessageFlags, nullptr, status, 0, text,
                                             kErrorTextCapacity, nullptr);
  return std::u16string(text, units);
}

const char16_t kPathSeparator = u'/';

std::u16string TempDir() {
  if (WorldDirectory.empty()) {
    char pattern[] = "/tmp/quorvin-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    // Never a directory of others' files: LeaveWorld removes this one whole.
    if (made == nullptr) return u"/tmp/quorvin-test-unmade";
    WorldDirectory = made;
  }
  return standin::FromUtf8(WorldDirectory);
}

std::u16string MakeFile(const std::u16string& name) {
  std::u16string path = TempDir() + u"/" + name;
  FILE* f = fopen(standin::ToUtf8(path).c_str(), "wb");
  EXPECT_NE(f, nullptr) << Show(path);
  if (f != nullptr) fclose(f);
  return path;
}

std::u16string MakeDir(const std::u16string& name) {
  std::u16string path = TempDir() + u"/" + name;
  EXPECT_EQ(mkdir(standin::ToUtf8(path).c_str(), 0755), 0) << Show(path);
  return path;
}

bool RemoveFile(const std::u16string& path) {
  return unlink(standin::ToUtf8(path).c_str()) == 0;
}

bool SettingsKeyExists(bool machine) {
  return standin::RegistryKeyExists(Root(machine), kSettingsKeyPath);
}

void PutValue(bool machine, const std::u16string& name, uint32_t type,
              const std::vector<uint8_t>& data) {
  standin::PutRegistryValue(Root(machine), kSettingsKeyPath, name, type, data);
}

StoredValue ReadValue(bool machine, const std::u16string& name) {
  standin::RegistryValue value;
  StoredValue stored{false, win::kRegNone, {}};
  if (standin::GetRegistryValue(Root(machine), kSettingsKeyPath, name, &value)) {
    stored = {true, value.type, value.data};
  }
  return stored;
}

void RemoveValue(bool machine, const std::u16string& name) {
  win::HKEY key = nullptr;
  ASSERT_EQ(win::RegOpenKeyExW(Root(machine), kSettingsKeyPath, 0, win::kKeyReadWrite, &key), 0);
  win::RegDeleteValueW(key, name.c_str());
  win::RegCloseKey(key);
}

// The stand-in's fault stands for the permissions: it refuses a create under either root.
void LockSettingsKey(bool machine) {
  standin::CreateRegistryKey(Root(machine), kSettingsKeyPath);
  standin::FailKeyCreate(win::kErrorAccessDenied);
}

void FailValueWrite(const std::u16string& name, uint32_t status) {
  standin::FailValueWrite(name, static_cast<int32_t>(status));
}

void FailValueDelete(const std::u16string& name, uint32_t status) {
  standin::FailValueDelete(name, static_cast<int32_t>(status));
}

}  // namespace host
