// Loading the stand-in shell and the plugin, the recorders patched into the plugin's import
// table, and the helpers that run the plugin as the shell does.
#include "host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "harness.h"

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
};

// What the recorders have seen and what they answer; changed by the recorders and the
// controls above, read by the cases.
struct RecorderState {
  bool held[256] = {};                          // keys GetAsyncKeyState reports as held
  std::vector<int> keyQueries;                  // keys asked about, in order
  std::vector<SoundCall> sounds;                // PlaySoundW calls
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
  std::u16string tempDir;  // the run's temporary directory, once made
};

HostState& Host() {
  static HostState state;
  return state;
}

const HWND kForegroundWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5150));

// Large enough for everything a case makes the plugin print.
constexpr size_t kOutputCapacity = 1u << 18;

SHORT WINAPI RecordGetAsyncKeyState(int virtualKey) {
  Recorders().keyQueries.push_back(virtualKey);
  return Recorders().held[virtualKey & 0xFF] ? static_cast<SHORT>(0x8000) : 0;
}

BOOL WINAPI RecordPlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags) {
  SoundCall call{reinterpret_cast<uintptr_t>(sound), u"", module, flags};
  if (call.sound >= 0x10000) call.file = reinterpret_cast<const char16_t*>(sound);
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

void RemoveTempDir() {
  if (!Host().tempDir.empty()) DeleteTree(W(Host().tempDir));
}

}  // namespace

PluginExports Plugin = {};

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
         Find(h.shell, "StandinClearEditLineCount", &c.clearEditLineCount);
}

void SetPluginPath(const std::wstring& path) {
  Host().pluginPath = path;
}
const std::wstring& PluginPath() {
  return Host().pluginPath;
}
HMODULE PluginModule() {
  return Host().plugin;
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
  PluginExports& p = Plugin;
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
  Plugin = {};
  return GetModuleHandleW(L"quorvin.dll") == nullptr;
}

// ==== The stand-in shell ====

void ResetShell() {
  Host().controls.reset();
}
void AddHistory(const std::u16string& entry) {
  Host().controls.addHistory(entry.c_str());
}

void SetHistory(const std::vector<std::u16string>& entries) {
  Host().controls.clearHistory();
  for (const std::u16string& e : entries) AddHistory(e);
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

std::u16string Take(size_t (*take)(char16_t*, size_t)) {
  std::vector<char16_t> buffer(kOutputCapacity);
  const size_t length = take(buffer.data(), buffer.size());
  if (length >= buffer.size()) {
    suite::Fail(__FILE__, __LINE__, "captured output larger than the suite's buffer");
  }
  return std::u16string(buffer.data());
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

// ==== Recorders ====

void SetKeyHeld(int virtualKey, bool held) {
  Recorders().held[virtualKey & 0xFF] = held;
}

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

std::vector<int> TakeKeyQueries() {
  return std::move(Recorders().keyQueries);
}
std::vector<SoundCall> TakeSounds() {
  return std::move(Recorders().sounds);
}
std::vector<MessageBoxCall> TakeMessageBoxes() {
  return std::move(Recorders().boxes);
}
HWND FakeForegroundWindow() {
  return kForegroundWindow;
}
int ForegroundWindowCalls() {
  return Recorders().foregroundCalls;
}

void FailValueWrite(const std::u16string& name, LONG status) {
  if (status == 0) {
    Recorders().writeFaults.erase(name);
  } else {
    Recorders().writeFaults[name] = status;
  }
}

void FailValueDelete(const std::u16string& name, LONG status) {
  if (status == 0) {
    Recorders().deleteFaults.erase(name);
  } else {
    Recorders().deleteFaults[name] = status;
  }
}

// ==== Running the plugin ====

int StartPlugin() {
  Plugin.GetPluginInfo();
  return Plugin.InitializePlugin();
}

CommandResult Quorv(const std::u16string& arguments) {
  std::vector<char16_t> writable(arguments.begin(), arguments.end());
  writable.push_back(0);
  CommandResult r;
  r.result = Plugin.quorv(writable.data());
  r.out = TakeStdout();
  r.err = TakeStderr();
  return r;
}

KeyResult Press(const std::u16string& line, int keyCode, const std::u16string& keyName,
                ptrdiff_t cursor) {
  constexpr char16_t kCanary = 0xA5A5;
  constexpr size_t kCanaryUnits = 64;
  std::vector<char16_t> buffer(kLineCapacity + kCanaryUnits, kCanary);
  std::fill(buffer.begin(), buffer.begin() + kLineCapacity, 0);
  std::copy(line.begin(), line.begin() + std::min(line.size(), kLineCapacity - 1), buffer.begin());
  std::vector<char16_t> name(keyName.begin(), keyName.end());
  name.resize(64, 0);

  KeyEvent event;
  event.key = keyCode;
  event.startRow = 0x5A01;  // the shell's own fields: the plugin must leave them alone
  event.startColumn = 0x5A02;
  event.currentRow = 0x5A03;
  event.currentColumn = 0x5A04;
  event.line = buffer.data();
  const ptrdiff_t end = static_cast<ptrdiff_t>(std::min(line.size(), kLineCapacity - 1));
  event.cursor = buffer.data() + (cursor < 0 ? end : std::min(cursor, end));
  event.redraw = 0;
  event.keyName = name.data();
  Plugin.key(&event);

  KeyResult r;
  r.line = std::u16string(
      buffer.data(),
      std::find(buffer.begin(), buffer.begin() + kLineCapacity, char16_t(0)) - buffer.begin());
  r.key = event.key;
  r.redraw = event.redraw;
  r.cursor = event.cursor - buffer.data();
  r.keyName = std::u16string(name.data());
  r.shellFieldsKept = event.startRow == 0x5A01 && event.startColumn == 0x5A02 &&
                      event.currentRow == 0x5A03 && event.currentColumn == 0x5A04 &&
                      event.line == buffer.data() && event.keyName == name.data();
  r.bufferKept = std::all_of(buffer.begin() + kLineCapacity, buffer.end(),
                             [](char16_t c) { return c == kCanary; });
  return r;
}

// ==== The world ====

void CleanRegistry() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegDeleteTreeW(root, L"Software\\Velloran\\Quorvin");
    RegDeleteKeyW(root, L"Software\\Velloran\\Quorvin");
    RegDeleteKeyW(root, L"Software\\Velloran");
  }
}

const std::u16string& TempDir() {
  HostState& h = Host();
  if (h.tempDir.empty()) {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    std::wstring dir =
        std::wstring(base) + L"quorvin-suite-" + std::to_wstring(GetCurrentProcessId());
    DeleteTree(dir);
    CreateDirectoryW(dir.c_str(), nullptr);
    h.tempDir = U16(dir);
    atexit(RemoveTempDir);
  }
  return h.tempDir;
}

std::u16string MakeFile(const std::u16string& relative) {
  const std::u16string path = TempDir() + u"\\" + relative;
  HANDLE file = CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    suite::Fail(__FILE__, __LINE__, "cannot create " + suite::Show(path));
  } else {
    CloseHandle(file);
  }
  return path;
}

std::u16string MakeDir(const std::u16string& relative) {
  const std::u16string path = TempDir() + u"\\" + relative;
  if (!CreateDirectoryW(W(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    suite::Fail(__FILE__, __LINE__, "cannot create the directory " + suite::Show(path));
  }
  return path;
}

std::u16string MakeFileOfLength(size_t length, char16_t fill) {
  constexpr size_t kComponent = 100;   // units per directory, separator included
  constexpr size_t kLastAtLeast = 10;  // separator, a few units of name and ".wav"
  std::u16string relative;
  size_t remaining = length - TempDir().size();
  while (remaining > kComponent + kLastAtLeast) {
    relative += std::u16string(kComponent - 1, fill);
    MakeDir(relative);
    relative += u'\\';
    remaining -= kComponent;
  }
  relative += std::u16string(remaining - 1 - 4, fill) + u".wav";
  return MakeFile(relative);
}

}  // namespace host
