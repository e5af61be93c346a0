// The Windows host: the stand-in shell and the plugin loaded under Wine, the recorders patched
// into the plugin's import table, Wine's registry and files.
#include "host.h"
// sddl.h needs windows.h first.
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace host {

namespace {

// The stand-in shell's controls, found once in the stand-in TakeCmd.dll.
struct ShellControls {
  void (*reset)(void);
  void (*addHistory)(const char16_t*);
  void (*clearHistory)(void);
  void (*setEndBySelf)(int);
  void (*setVariable)(const char16_t*, const char16_t*);
  void (*removeVariable)(const char16_t*);
  size_t (*takeStdout)(char16_t*, size_t);
  size_t (*takeStderr)(char16_t*, size_t);
  int (*honkCount)(void);
  int (*clearEditLineCount)(void);
  int (*expandVariablesCount)(void);
};

// The plugin's exports, found at every load.
struct PluginExports {
  PluginInfo* (*GetPluginInfo)(void);
  int (*InitializePlugin)(void);
  int (*ShutdownPlugin)(void);
  int (*Usage)(const char16_t* name, char16_t* out);
  int (*Help)(const char16_t* name);
  int (*key)(KeyEvent* event);
  int (*quorv)(char16_t* arguments);
};

// What the recorders have seen and what they answer; changed by the recorders and the
// controls above, read by the cases.
struct RecorderState {
  bool held[256] = {};                          // keys GetAsyncKeyState reports as held
  std::vector<int> keyQueries;                  // keys asked about, in order
  std::vector<Sound> sounds;                    // PlaySoundW calls
  std::vector<MessageBoxCall> boxes;            // MessageBoxW calls
  int foregroundCalls = 0;                      // GetForegroundWindow calls
  std::map<std::u16string, LONG> writeFaults;   // RegSetValueExW status by value name
  void* realRegSetValueExW = nullptr;           // Wine's own, from the import table
  std::map<std::u16string, LONG> deleteFaults;  // RegDeleteValueW status by value name
  void* realRegDeleteValueW = nullptr;          // Wine's own, from the import table
};

RecorderState& Recorders() {
  static RecorderState state;
  return state;
}

// The loaded modules and where the plugin lives.
struct HostState {
  HMODULE shell = nullptr;   // the stand-in TakeCmd.dll, loaded for the whole run
  HMODULE plugin = nullptr;  // quorvin.dll while loaded
  std::wstring pluginPath;   // full Windows path of quorvin.dll
  ShellControls controls = {};
  PluginExports exports = {};  // valid while the plugin is loaded
  std::u16string tempDir;      // the test's temporary directory, once made; removed at its end
};

HostState& Host() {
  static HostState state;
  return state;
}

// Back to the start: the stand-in shell's, the recorders' and the registry's.
void ResetShell();
void ResetRecorders();
void CleanRegistry();

const wchar_t kKeyPath[] = L"Software\\Velloran\\Quorvin";

HKEY Root(bool machine) {
  return machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

const HWND kForegroundWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5150));

// Large enough for everything a case makes the plugin print.
constexpr size_t kOutputCapacity = 1u << 18;

SHORT WINAPI RecordGetAsyncKeyState(int virtualKey) {
  Recorders().keyQueries.push_back(virtualKey);
  // The low bit (pressed since the last query) is set, as Windows may set it for any key pressed
  // before, such as the Shift that typed the '!': only the high bit says a key is held.
  return Recorders().held[virtualKey & 0xFF] ? static_cast<SHORT>(0x8001) : 1;
}

BOOL WINAPI RecordPlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags) {
  Sound call{0, u"", module, flags};
  const auto value = reinterpret_cast<uintptr_t>(sound);
  if (value < 0x10000) {
    call.alias = static_cast<uint16_t>(value);
  } else {
    call.file = reinterpret_cast<const char16_t*>(sound);
  }
  Recorders().sounds.push_back(call);
  return TRUE;
}

int WINAPI RecordMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  Recorders().boxes.push_back({owner, text ? reinterpret_cast<const char16_t*>(text) : u"",
                               caption ? reinterpret_cast<const char16_t*>(caption) : u"", type});
  return IDOK;
}

HWND WINAPI RecordGetForegroundWindow() {
  ++Recorders().foregroundCalls;
  return kForegroundWindow;
}

LONG WINAPI FaultyRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type,
                                 const BYTE* data, DWORD size) {
  auto fault = Recorders().writeFaults.find(name ? reinterpret_cast<const char16_t*>(name) : u"");
  if (fault != Recorders().writeFaults.end()) return fault->second;
  using Function = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
  return reinterpret_cast<Function>(Recorders().realRegSetValueExW)(key, name, reserved, type, data,
                                                                    size);
}

LONG WINAPI FaultyRegDeleteValueW(HKEY key, LPCWSTR name) {
  auto fault = Recorders().deleteFaults.find(name ? reinterpret_cast<const char16_t*>(name) : u"");
  if (fault != Recorders().deleteFaults.end()) return fault->second;
  using Function = LONG(WINAPI*)(HKEY, LPCWSTR);
  return reinterpret_cast<Function>(Recorders().realRegDeleteValueW)(key, name);
}

// Replaces the import table slot of `function` from `dll` in `module`. Returns the function it
// held, or null when the module does not import it by that name.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<char*>(base + d->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA64*>(
        base + (d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL64(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
      DWORD protection = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
      void* original = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONGLONG>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      return original;
    }
  }
  return nullptr;
}

template <typename F>
bool Find(HMODULE module, const char* name, F* out) {
  *out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (*out == nullptr) fprintf(stdout, "missing export %s\n", name);
  return *out != nullptr;
}

void DeleteTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

// Removes the test's directory, leaving it first: the current directory cannot be removed.
void RemoveTempDir() {
  HostState& h = Host();
  if (h.tempDir.empty()) return;
  wchar_t base[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, base);
  SetCurrentDirectoryW(base);
  DeleteTree(W(h.tempDir));
  h.tempDir.clear();
}

}  // namespace

std::u16string U16(const std::wstring& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

std::wstring W(const std::u16string& text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

// ==== Loading ====

bool LoadShell(const std::wstring& takecmdPath) {
  HostState& h = Host();
  h.shell = LoadLibraryW(takecmdPath.c_str());
  if (h.shell == nullptr) {
    fprintf(stdout, "cannot load the stand-in shell %ls (error %lu)\n", takecmdPath.c_str(),
            GetLastError());
    return false;
  }
  ShellControls& c = h.controls;
  return Find(h.shell, "StandinReset", &c.reset) &&
         Find(h.shell, "StandinAddHistory", &c.addHistory) &&
         Find(h.shell, "StandinClearHistory", &c.clearHistory) &&
         Find(h.shell, "StandinSetEndBySelf", &c.setEndBySelf) &&
         Find(h.shell, "StandinSetVariable", &c.setVariable) &&
         Find(h.shell, "StandinRemoveVariable", &c.removeVariable) &&
         Find(h.shell, "StandinTakeStdout", &c.takeStdout) &&
         Find(h.shell, "StandinTakeStderr", &c.takeStderr) &&
         Find(h.shell, "StandinHonkCount", &c.honkCount) &&
         Find(h.shell, "StandinClearEditLineCount", &c.clearEditLineCount) &&
         Find(h.shell, "StandinExpandVariablesCount", &c.expandVariablesCount);
}

void SetPluginPath(const std::wstring& path) {
  Host().pluginPath = path;
}
const std::wstring& PluginPath() {
  return Host().pluginPath;
}

bool LoadPlugin() {
  HostState& h = Host();
  // The shell's TakeCmd.dll is already in the process, so the plugin's imports of TakeCmd.dll
  // bind to it by name, as they do inside the shell.
  h.plugin = LoadLibraryW(h.pluginPath.c_str());
  if (h.plugin == nullptr) {
    fprintf(stdout, "cannot load %ls (error %lu)\n", h.pluginPath.c_str(), GetLastError());
    return false;
  }
  PluginExports& p = h.exports;
  if (!(Find(h.plugin, "GetPluginInfo", &p.GetPluginInfo) &&
        Find(h.plugin, "InitializePlugin", &p.InitializePlugin) &&
        Find(h.plugin, "ShutdownPlugin", &p.ShutdownPlugin) && Find(h.plugin, "Usage", &p.Usage) &&
        Find(h.plugin, "Help", &p.Help) && Find(h.plugin, "key", &p.key) &&
        Find(h.plugin, "quorv", &p.quorv))) {
    return false;
  }

  struct Patch {
    const char* dll;
    const char* function;
    void* replacement;
  };
  const Patch patches[] = {
      {"user32.dll", "GetAsyncKeyState", reinterpret_cast<void*>(&RecordGetAsyncKeyState)},
      {"winmm.dll", "PlaySoundW", reinterpret_cast<void*>(&RecordPlaySoundW)},
      {"user32.dll", "MessageBoxW", reinterpret_cast<void*>(&RecordMessageBoxW)},
      {"user32.dll", "GetForegroundWindow", reinterpret_cast<void*>(&RecordGetForegroundWindow)},
      {"advapi32.dll", "RegSetValueExW", reinterpret_cast<void*>(&FaultyRegSetValueExW)},
      {"advapi32.dll", "RegDeleteValueW", reinterpret_cast<void*>(&FaultyRegDeleteValueW)},
  };
  for (const Patch& patch : patches) {
    void* original = PatchImport(h.plugin, patch.dll, patch.function, patch.replacement);
    if (original == nullptr) {
      fprintf(stdout, "quorvin.dll does not import %s from %s\n", patch.function, patch.dll);
      return false;
    }
    if (patch.replacement == reinterpret_cast<void*>(&FaultyRegSetValueExW)) {
      Recorders().realRegSetValueExW = original;
    }
    if (patch.replacement == reinterpret_cast<void*>(&FaultyRegDeleteValueW)) {
      Recorders().realRegDeleteValueW = original;
    }
  }
  return true;
}

bool UnloadPlugin() {
  HostState& h = Host();
  if (h.plugin == nullptr) return true;
  FreeLibrary(h.plugin);
  h.plugin = nullptr;
  h.exports = {};
  if (GetModuleHandleW(L"quorvin.dll") == nullptr) return true;
  fprintf(stdout, "quorvin.dll stayed loaded\n");
  return false;
}

// ==== The world ====

bool ResetWorld() {
  if (!UnloadPlugin()) return false;
  ResetShell();
  ResetRecorders();
  CleanRegistry();
  SetCurrentDirectoryW(W(TempDir()).c_str());
  return LoadPlugin();
}

bool LeaveWorld() {
  const bool unloaded = UnloadPlugin();
  CleanRegistry();
  RemoveTempDir();
  return unloaded;
}

bool ReloadPlugin() {
  return UnloadPlugin() && LoadPlugin();
}

// ==== The plugin's exports ====

PluginInfo* GetPluginInfo() {
  return Host().exports.GetPluginInfo();
}
int InitializePlugin() {
  return Host().exports.InitializePlugin();
}
int ShutdownPlugin() {
  return Host().exports.ShutdownPlugin();
}
int Usage(const char16_t* name, char16_t* out) {
  return Host().exports.Usage(name, out);
}
int Help(const char16_t* name) {
  return Host().exports.Help(name);
}
int key(KeyEvent* event) {
  return Host().exports.key(event);
}
int quorv(char16_t* arguments) {
  return Host().exports.quorv(arguments);
}

// ==== The stand-in shell ====

namespace {

void ResetShell() {
  Host().controls.reset();
}

}  // namespace

void SetHistory(const std::vector<std::u16string>& entries) {
  Host().controls.clearHistory();
  for (const std::u16string& e : entries) Host().controls.addHistory(e.c_str());
}

void SetEndBySelf(bool bySelf) {
  Host().controls.setEndBySelf(bySelf ? 1 : 0);
}

void SetVariable(const std::u16string& name, const std::u16string& value) {
  Host().controls.setVariable(name.c_str(), value.c_str());
}

void RemoveVariable(const std::u16string& name) {
  Host().controls.removeVariable(name.c_str());
}

namespace {

// One buffer for every take: allocated afresh, its megabyte costs Wine more than a call of the
// command does.
std::u16string Take(size_t (*take)(char16_t*, size_t)) {
  static std::vector<char16_t> buffer(kOutputCapacity);
  const size_t length = take(buffer.data(), buffer.size());
  EXPECT_LT(length, buffer.size()) << "captured output larger than the host's buffer";
  return std::u16string(buffer.data(), std::min(length, buffer.size() - 1));
}

}  // namespace

std::u16string TakeStdout() {
  return Take(Host().controls.takeStdout);
}
std::u16string TakeStderr() {
  return Take(Host().controls.takeStderr);
}
int HonkCount() {
  return Host().controls.honkCount();
}
int ClearEditLineCount() {
  return Host().controls.clearEditLineCount();
}
int ExpandVariablesCount() {
  return Host().controls.expandVariablesCount();
}

// ==== Recorders ====

void SetKeyHeld(int virtualKey, bool held) {
  Recorders().held[virtualKey & 0xFF] = held;
}

namespace {

void ResetRecorders() {
  RecorderState& r = Recorders();
  for (bool& held : r.held) held = false;
  r.keyQueries.clear();
  r.sounds.clear();
  r.boxes.clear();
  r.foregroundCalls = 0;
  r.writeFaults.clear();
  r.deleteFaults.clear();
}

}  // namespace

std::vector<int> TakeKeyQueries() {
  return std::move(Recorders().keyQueries);
}
std::vector<Sound> TakeSounds() {
  return std::move(Recorders().sounds);
}
std::vector<MessageBoxCall> TakeMessageBoxes() {
  return std::move(Recorders().boxes);
}
const void* ForegroundWindow() {
  return kForegroundWindow;
}
int ForegroundWindowCalls() {
  return Recorders().foregroundCalls;
}

std::u16string SystemMessage(uint32_t status) {
  wchar_t text[1024] = {};
  const DWORD units = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
      nullptr, status, 0, text, 1024, nullptr);
  return U16(std::wstring(text, units));
}

void FailValueWrite(const std::u16string& name, uint32_t status) {
  if (status == 0) {
    Recorders().writeFaults.erase(name);
  } else {
    Recorders().writeFaults[name] = static_cast<LONG>(status);
  }
}

void FailValueDelete(const std::u16string& name, uint32_t status) {
  if (status == 0) {
    Recorders().deleteFaults.erase(name);
  } else {
    Recorders().deleteFaults[name] = static_cast<LONG>(status);
  }
}

// ==== Wine's registry and files ====

namespace {

// Also a key locked by LockSettingsKey: its permissions let everyone delete it.
void CleanRegistry() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegDeleteTreeW(root, kKeyPath);
    RegDeleteKeyW(root, kKeyPath);
    RegDeleteKeyW(root, L"Software\\Velloran");
  }
}

}  // namespace

const char16_t kPathSeparator = u'\\';

std::u16string TempDir() {
  HostState& h = Host();
  if (h.tempDir.empty()) {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    std::wstring dir =
        std::wstring(base) + L"quorvin-suite-" + std::to_wstring(GetCurrentProcessId());
    DeleteTree(dir);
    CreateDirectoryW(dir.c_str(), nullptr);
    h.tempDir = U16(dir);
  }
  return h.tempDir;
}

std::u16string MakeFile(const std::u16string& relative) {
  const std::u16string path = TempDir() + u"\\" + relative;
  HANDLE file = CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << "cannot create " << Show(path);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return path;
}

bool RemoveFile(const std::u16string& path) {
  return DeleteFileW(W(path).c_str()) != 0;
}

bool SettingsKeyExists(bool machine) {
  HKEY key;
  if (RegOpenKeyExW(Root(machine), kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Wine's own registry functions: the plugin's import table holds the faulty ones.
void PutValue(bool machine, const std::u16string& name, uint32_t type,
              const std::vector<uint8_t>& data) {
  HKEY key;
  LONG status = RegCreateKeyExW(Root(machine), kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr);
  if (status == ERROR_SUCCESS) {
    status =
        RegSetValueExW(key, W(name).c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
  }
  EXPECT_EQ(status, ERROR_SUCCESS) << "cannot write " << Show(name);
}

StoredValue ReadValue(bool machine, const std::u16string& name) {
  StoredValue v{false, REG_NONE, {}};
  HKEY key;
  if (RegOpenKeyExW(Root(machine), kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key, W(name).c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    v.data.resize(size);
    v.found = RegQueryValueExW(key, W(name).c_str(), nullptr, &type, v.data.data(), &size) ==
              ERROR_SUCCESS;
    v.type = type;
  }
  RegCloseKey(key);
  return v;
}

void RemoveValue(bool machine, const std::u16string& name) {
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(Root(machine), kKeyPath, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  RegDeleteValueW(key, W(name).c_str());
  RegCloseKey(key);
}

// Everyone may read the key and delete it, no one may write it; a create for writing is refused
// by Wine itself.
void LockSettingsKey(bool machine) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(Root(machine), kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
  LocalFree(descriptor);
  RegCloseKey(key);
  HKEY probe;
  const LONG refused = RegCreateKeyExW(Root(machine), kKeyPath, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                       nullptr, &probe, nullptr);
  EXPECT_EQ(refused, ERROR_ACCESS_DENIED);
  if (refused == ERROR_SUCCESS) RegCloseKey(probe);
}

std::u16string MakeDir(const std::u16string& relative) {
  const std::u16string path = TempDir() + u"\\" + relative;
  EXPECT_TRUE(CreateDirectoryW(W(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
      << "cannot create the directory " << Show(path);
  return path;
}

}  // namespace host
