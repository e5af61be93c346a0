// The native host: the plugin's exports called directly, the stand-ins as the shell and the
// system, files in a directory of the test's own below /tmp.
#include "fixture.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/utf.h"

namespace {

// The directory of the running test's files, made on first use; removed when it ends.
std::string WorldDirectory;

}  // namespace

std::u16string PluginTest::MakeDir(const std::u16string& name) {
  std::u16string path = TempDir() + u"/" + name;
  EXPECT_EQ(mkdir(standin::ToUtf8(path).c_str(), 0755), 0) << Show(path);
  return path;
}

namespace host {

bool ResetWorld() {
  standin::Reset();
  standin::ReleaseAllKeys();
  standin::TakeKeyQueries();
  standin::TakeSoundRequests();
  standin::TakeMessageBoxes();
  standin::ResetRegistry();
  standin::ResetSystemMessages();
  PluginSettings = kDefaultSettings;
  HostMajorVersion = 0;
  return true;
}

bool LeaveWorld() {
  if (!WorldDirectory.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(WorldDirectory, ignored);
    WorldDirectory.clear();
  }
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

bool RemoveFile(const std::u16string& path) {
  return unlink(standin::ToUtf8(path).c_str()) == 0;
}

bool SettingsKeyExists(bool machine) {
  return standin::RegistryKeyExists(machine ? win::LocalMachine() : win::CurrentUser(),
                                    kSettingsKeyPath);
}

}  // namespace host
