// Saved settings through the DLL against Wine's registry: save and a fresh load, HKCU over
// HKLM, damaged keys, restore, and saves that fail, with the system's own message texts.
#include <windows.h>
// sddl.h needs windows.h first.
#include <sddl.h>

#include <string>
#include <vector>

#include "cases/expected.h"
#include "host.h"

namespace {

const wchar_t kKeyPath[] = L"Software\\Velloran\\Quorvin";

struct StoredValue {
  LONG status;
  DWORD type;
  std::vector<BYTE> data;
};

StoredValue Read(HKEY root, const wchar_t* name) {
  StoredValue v{0, REG_NONE, {}};
  HKEY key;
  v.status = RegOpenKeyExW(root, kKeyPath, 0, KEY_READ, &key);
  if (v.status != ERROR_SUCCESS) return v;
  DWORD size = 0;
  v.status = RegQueryValueExW(key, name, nullptr, &v.type, nullptr, &size);
  if (v.status == ERROR_SUCCESS) {
    v.data.resize(size);
    v.status = RegQueryValueExW(key, name, nullptr, &v.type, v.data.data(), &size);
  }
  RegCloseKey(key);
  return v;
}

void Put(HKEY root, const wchar_t* name, DWORD type, const std::vector<BYTE>& data) {
  HKEY key;
  LONG status =
      RegCreateKeyExW(root, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
  }
  if (status != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot write " << Show(host::U16(name));
  }
}

std::vector<BYTE> Dword(DWORD value) {
  return {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
}

std::vector<BYTE> Text(const std::u16string& text) {
  std::vector<BYTE> bytes;
  for (char16_t c : text + u'\0') {
    bytes.push_back(BYTE(c));
    bytes.push_back(BYTE(c >> 8));
  }
  return bytes;
}

void PutDword(HKEY root, const wchar_t* name, DWORD value) {
  Put(root, name, REG_DWORD, Dword(value));
}

// A complete, valid set of the five numeric values.
void PutSettings(HKEY root, const expected::Settings& s) {
  PutDword(root, L"Error Beep Mode", s.beep);
  PutDword(root, L"Case Insensitive", s.caseInsensitive);
  PutDword(root, L"Allow Whitespace", s.allowWhitespace);
  PutDword(root, L"Execute on Failure", s.executeOnFailure);
  PutDword(root, L"Counting Base", s.countingBase);
}

void DeleteValue(HKEY root, const wchar_t* name) {
  HKEY key;
  if (RegOpenKeyExW(root, kKeyPath, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, name);
    RegCloseKey(key);
  }
}

// What the plugin holds, as its report shows it.
std::u16string ShownSettings() {
  host::CommandResult r = host::Quorv(u"");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.err, u"");
  return r.out;
}

// Loads the plugin afresh and starts it as the shell does.
void Restart() {
  EXPECT_TRUE(host::UnloadPlugin());
  EXPECT_TRUE(host::LoadPlugin());
  host::ResetShell();
  host::StartPlugin();
  host::TakeStdout();
}

// The system's text for a status as the plugin should print it: the message without the
// white space Windows ends it with, or "Error %d" when the system has none.
std::u16string SystemText(DWORD code) {
  if (code == 0xFFFFFFFFu) return u"Unknown error";
  wchar_t buffer[1024] = {};
  if (FormatMessageW(0x12FF, nullptr, code, 0, buffer, 1024, nullptr) == 0) {
    return u"Error " + host::U16(std::to_wstring(static_cast<int>(code)));
  }
  std::u16string text = host::U16(buffer);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\r' || text.back() == u'\n' ||
                           text.back() == u'\t')) {
    text.pop_back();
  }
  return text;
}

class Persistence : public HostTest {};
class Restore : public HostTest {};
class FailedSave : public HostTest {};

}  // namespace

// ==== Save and load ====

TEST_F(Persistence, SaveThenAFreshLoadRestoresEveryValue) {
  host::StartPlugin();
  host::TakeStdout();
  host::CommandResult r = host::Quorv(u"/Q /A0 /B3 /I1 /X0 /Z1 /S");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.out, u"");
  EXPECT_EQ(r.err, u"");

  // Exactly the five values, each a REG_DWORD of four bytes; no file name.
  struct Row {
    const wchar_t* name;
    DWORD value;
  };
  const Row rows[] = {{L"Error Beep Mode", 3},
                      {L"Case Insensitive", 1},
                      {L"Allow Whitespace", 0},
                      {L"Execute on Failure", 0},
                      {L"Counting Base", 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(Show(host::U16(row.name)));
    StoredValue v = Read(HKEY_CURRENT_USER, row.name);
    EXPECT_EQ(v.status, ERROR_SUCCESS);
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_TRUE(v.data == Dword(row.value));
  }
  EXPECT_EQ(Read(HKEY_CURRENT_USER, L"Error Beep Filename").status, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, L"Error Beep Mode").status, ERROR_FILE_NOT_FOUND);

  Restart();
  EXPECT_EQ(ShownSettings(), expected::Report({3, 0, 0, 1, 1, u""}));
}

TEST_F(Persistence, SavedFileNameIsTheFullPathWithItsTerminator) {
  const std::u16string wave = host::MakeFile(u"saved.WAV");
  host::StartPlugin();
  host::TakeStdout();
  EXPECT_EQ(host::Quorv(u"/Q /W:saved.WAV /S").result, 0);  // relative: resolved to the full path
  StoredValue v = Read(HKEY_CURRENT_USER, L"Error Beep Filename");
  EXPECT_EQ(v.status, ERROR_SUCCESS);
  EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
  EXPECT_TRUE(v.data == Text(wave));
  EXPECT_TRUE(Read(HKEY_CURRENT_USER, L"Error Beep Mode").data == Dword(6));

  Restart();
  EXPECT_EQ(ShownSettings(), expected::Report({6, 1, 1, 0, 0, wave}));
}

TEST_F(Persistence, SaveWithoutAValidFileDeletesTheFileName) {
  Put(HKEY_CURRENT_USER, L"Error Beep Filename", REG_SZ, Text(u"C:\\old.wav"));
  host::StartPlugin();
  host::TakeStdout();
  EXPECT_EQ(host::Quorv(u"/Q /S").result, 0);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, L"Error Beep Filename").status, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(Read(HKEY_CURRENT_USER, L"Error Beep Mode").data == Dword(1));
}

TEST_F(Persistence, MachineSaveWritesOnlyHKLM) {
  host::StartPlugin();
  host::TakeStdout();
  host::CommandResult r = host::Quorv(u"/B5 /S /S!");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.err, u"");
  EXPECT_EQ(r.out, expected::Report({5, 1, 1, 0, 0, u""}) + expected::kSavedToMachine);
  EXPECT_TRUE(Read(HKEY_LOCAL_MACHINE, L"Error Beep Mode").data == Dword(5));
  EXPECT_EQ(Read(HKEY_CURRENT_USER, L"Error Beep Mode").status, ERROR_FILE_NOT_FOUND);
}

TEST_F(Persistence, UserKeyWinsOverMachineKey) {
  PutSettings(HKEY_LOCAL_MACHINE, {2, 0, 0, 1, 1, u""});
  PutSettings(HKEY_CURRENT_USER, {3, 1, 1, 0, 0, u""});
  Restart();
  EXPECT_EQ(ShownSettings(), expected::Report({3, 1, 1, 0, 0, u""}));
}

TEST_F(Persistence, MachineKeyAloneIsLoaded) {
  PutSettings(HKEY_LOCAL_MACHINE, {4, 0, 0, 1, 1, u""});
  Restart();
  EXPECT_EQ(ShownSettings(), expected::Report({4, 0, 0, 1, 1, u""}));
}

TEST_F(Persistence, DamagedUserKeyFallsBackToTheMachineKeyAsAWhole) {
  const expected::Settings machine = {4, 0, 0, 1, 1, u""};
  const expected::Settings user = {2, 1, 1, 0, 0, u""};
  struct Row {
    const char* what;
    const wchar_t* name;
    DWORD type;  // REG_NONE: delete the value
    std::vector<BYTE> data;
  };
  const Row rows[] = {
      {"Counting Base as REG_SZ", L"Counting Base", REG_SZ, Text(u"0")},
      {"Counting Base 2", L"Counting Base", REG_DWORD, Dword(2)},
      {"Error Beep Mode 7", L"Error Beep Mode", REG_DWORD, Dword(7)},
      {"Allow Whitespace as 8 bytes", L"Allow Whitespace", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"Case Insensitive as REG_BINARY", L"Case Insensitive", REG_BINARY, Dword(0)},
      {"Execute on Failure as 2 bytes", L"Execute on Failure", REG_DWORD, {1, 0}},
      {"Execute on Failure missing", L"Execute on Failure", REG_NONE, {}},
      {"Error Beep Mode 0xFFFFFFFF", L"Error Beep Mode", REG_DWORD, Dword(0xFFFFFFFFu)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    host::CleanRegistry();
    PutSettings(HKEY_LOCAL_MACHINE, machine);
    PutSettings(HKEY_CURRENT_USER, user);
    if (row.type == REG_NONE) {
      DeleteValue(HKEY_CURRENT_USER, row.name);
    } else {
      Put(HKEY_CURRENT_USER, row.name, row.type, row.data);
    }
    Restart();
    EXPECT_EQ(ShownSettings(), expected::Report(machine));
  }
}

// Wine, like Windows, refuses a four-byte query of an eight-byte REG_DWORD: the plugin must
// not read its buffer after such a query.
TEST_F(Persistence, EightByteDwordIsRefusedByTheQuery) {
  Put(HKEY_CURRENT_USER, L"Allow Whitespace", REG_DWORD, {0, 0, 0, 0, 9, 9, 9, 9});
  HKEY key;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = REG_NONE, data = 0xFFFFFFFFu, size = 4;
  EXPECT_EQ(RegQueryValueExW(key, L"Allow Whitespace", nullptr, &type,
                             reinterpret_cast<BYTE*>(&data), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, static_cast<DWORD>(8));
  RegCloseKey(key);

  PutSettings(HKEY_LOCAL_MACHINE, {3, 0, 1, 1, 0, u""});
  PutDword(HKEY_CURRENT_USER, L"Error Beep Mode", 2);
  PutDword(HKEY_CURRENT_USER, L"Case Insensitive", 0);
  PutDword(HKEY_CURRENT_USER, L"Execute on Failure", 1);
  PutDword(HKEY_CURRENT_USER, L"Counting Base", 0);
  Restart();
  EXPECT_EQ(ShownSettings(), expected::Report({3, 0, 1, 1, 0, u""}));
}

TEST_F(Persistence, NothingUsableLeavesTheDefaults) {
  struct Row {
    const char* what;
    void (*prepare)();
  };
  const Row rows[] = {
      {"no key", [] {}},
      {"empty keys",
       [] {
         for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
           HKEY key;
           RegCreateKeyExW(root, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
           RegCloseKey(key);
         }
       }},
      {"damaged user key, no machine key",
       [] {
         PutSettings(HKEY_CURRENT_USER, {3, 0, 0, 1, 1, u""});
         PutDword(HKEY_CURRENT_USER, L"Counting Base", 2);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    host::CleanRegistry();
    row.prepare();
    Restart();
    EXPECT_EQ(ShownSettings(), expected::Report(expected::kDefaults));
  }
}

TEST_F(Persistence, CustomModeNeedsAUsableFile) {
  const std::u16string wave = host::MakeFile(u"stored.wav");
  const std::u16string folder = host::MakeDir(u"folder.wav");
  // A real file named nul.wav, made through \\?\ (which takes the name as it is): Wine's
  // look-up calls it an ordinary file, yet opening the name opens the device.
  const std::u16string device = host::TempDir() + u"\\nul.wav";
  const std::wstring literal = L"\\\\?\\" + host::W(device);
  HANDLE made = CreateFileW(literal.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_TRUE(made != INVALID_HANDLE_VALUE);
  CloseHandle(made);
  EXPECT_TRUE(GetFileAttributesW(host::W(device).c_str()) == FILE_ATTRIBUTE_ARCHIVE);
  struct Row {
    const char* what;
    DWORD fileType;  // REG_NONE: no file name stored
    std::u16string file;
    expected::Settings shown;
  };
  const Row rows[] = {
      {"valid file", REG_SZ, wave, {6, 1, 1, 0, 0, wave}},
      {"no file name", REG_NONE, u"", {1, 1, 1, 0, 0, u""}},
      {"file as REG_EXPAND_SZ", REG_EXPAND_SZ, wave, {1, 1, 1, 0, 0, u""}},
      {"missing file", REG_SZ, host::TempDir() + u"\\missing.wav", {1, 1, 1, 0, 0, u""}},
      {"a directory", REG_SZ, folder, {1, 1, 1, 0, 0, u""}},
      {"empty text", REG_SZ, u"", {1, 1, 1, 0, 0, u""}},
      {"a device name", REG_SZ, device, {1, 1, 1, 0, 0, u""}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    host::CleanRegistry();
    PutSettings(HKEY_CURRENT_USER, {6, 1, 1, 0, 0, u""});
    if (row.fileType != REG_NONE)
      Put(HKEY_CURRENT_USER, L"Error Beep Filename", row.fileType, Text(row.file));
    Restart();
    EXPECT_EQ(ShownSettings(), expected::Report(row.shown));
  }
  EXPECT_TRUE(DeleteFileW(literal.c_str()));  // by the same literal name: not the device
}

TEST_F(Persistence, StoredFileNameOf255UnitsAndNoMore) {
  const std::u16string path255 = host::MakeFileOfLength(255, u'a');
  const std::u16string path256 = host::MakeFileOfLength(256, u'b');
  EXPECT_EQ(path255.size(), static_cast<size_t>(255));
  EXPECT_EQ(path256.size(), static_cast<size_t>(256));
  EXPECT_TRUE(GetFileAttributesW(host::W(path256).c_str()) != INVALID_FILE_ATTRIBUTES);

  PutSettings(HKEY_CURRENT_USER, {6, 1, 1, 0, 0, u""});
  Put(HKEY_CURRENT_USER, L"Error Beep Filename", REG_SZ, Text(path255));
  Restart();
  EXPECT_EQ(ShownSettings(), expected::Report({6, 1, 1, 0, 0, path255}));

  Put(HKEY_CURRENT_USER, L"Error Beep Filename", REG_SZ, Text(path256));
  Restart();
  EXPECT_EQ(ShownSettings(), expected::Report(expected::kDefaults));
}

// ==== Restore ====

TEST_F(Restore, FromTheUserKeyThenTheMachineKey) {
  host::StartPlugin();
  host::TakeStdout();
  host::CommandResult saved = host::Quorv(u"/B2 /Z1 /S");
  EXPECT_EQ(saved.result, 0);
  EXPECT_EQ(saved.out, expected::Report({2, 1, 1, 0, 1, u""}) + expected::kSavedToUser);
  EXPECT_EQ(host::Quorv(u"/Q /B4 /Z0").result, 0);

  host::CommandResult r = host::Quorv(u"/R");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.err, u"");
  EXPECT_EQ(r.out, u"Settings restored from the registry (HKCU\\Software\\Velloran\\Quorvin).\r\n" +
                       expected::Report({2, 1, 1, 0, 1, u""}));

  EXPECT_EQ(host::Quorv(u"/Q /B3 /S!").result, 0);
  RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath);
  EXPECT_EQ(host::Quorv(u"/Q /B0").result, 0);
  r = host::Quorv(u"/R");
  EXPECT_EQ(r.out, u"Settings restored from the registry (HKLM\\Software\\Velloran\\Quorvin).\r\n" +
                       expected::Report({3, 1, 1, 0, 1, u""}));
}

TEST_F(Restore, WithDefaultsAndOptions) {
  struct Row {
    const char* what;
    bool saved;  // valid settings under HKCU: mode 3, counting base 1
    std::u16string options;
    std::u16string out;
  };
  const std::u16string restored =
      u"Settings restored from the registry (HKCU\\Software\\Velloran\\Quorvin).\r\n";
  const std::u16string notFound = u"Settings not found in the registry.\r\n";
  const std::u16string defaults = u"Default plugin settings restored.\r\n";
  const Row rows[] = {
      {"saved, /D /R", true, u"/D /R", restored + expected::Report({3, 1, 1, 0, 1, u""})},
      {"saved, /R /D", true, u"/R /D", restored + expected::Report({3, 1, 1, 0, 1, u""})},
      {"nothing saved, /D /R", false, u"/D /R",
       notFound + defaults + expected::Report(expected::kDefaults)},
      {"saved, /R /B2", true, u"/R /B2", restored + expected::Report({2, 1, 1, 0, 1, u""})},
      {"nothing saved, /B2 /D", false, u"/B2 /D",
       defaults + expected::Report({2, 1, 1, 0, 0, u""})},
      {"saved, /Q /R", true, u"/Q /R", u""},
      {"nothing saved, /R", false, u"/R", notFound + expected::Report({4, 0, 1, 0, 0, u""})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    host::CleanRegistry();
    if (row.saved) PutSettings(HKEY_CURRENT_USER, {3, 1, 1, 0, 1, u""});
    EXPECT_TRUE(host::UnloadPlugin());
    EXPECT_TRUE(host::LoadPlugin());
    host::ResetShell();
    EXPECT_EQ(host::Quorv(u"/Q /B4 /A0").result, 0);  // not started: nothing loaded yet
    host::CommandResult r = host::Quorv(row.options);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(r.err, u"");
  }
}

// ==== Saves that fail ====

// Wine refuses the write itself: the key grants everyone reading (and deleting, so that the
// case can clean up) but no writing, so the key cannot be opened for writing.
TEST_F(FailedSave, KeyThatWineWillNotOpenForWriting) {
  HKEY key;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
  LocalFree(descriptor);
  RegCloseKey(key);
  HKEY probe;
  const LONG refused = RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, 0x2001F, nullptr,
                                       &probe, nullptr);
  EXPECT_EQ(refused, ERROR_ACCESS_DENIED);
  if (refused == ERROR_SUCCESS) RegCloseKey(probe);

  host::StartPlugin();
  host::TakeStdout();
  host::CommandResult r = host::Quorv(u"/B3 /S");
  EXPECT_EQ(r.result, 2);
  // The system's own reason, in its words.
  EXPECT_EQ(r.out, expected::Report({3, 1, 1, 0, 0, u""}) + u"\r\n");
  EXPECT_EQ(r.err, expected::kSaveErrorToUser + SystemText(ERROR_ACCESS_DENIED) + u"\r\n");
  EXPECT_TRUE(SystemText(ERROR_ACCESS_DENIED) != u"Error 5");
  // The settings in memory keep the new values.
  EXPECT_EQ(ShownSettings(), expected::Report({3, 1, 1, 0, 0, u""}));

  host::CommandResult quiet = host::Quorv(u"/Q /S");
  EXPECT_EQ(quiet.result, 2);
  EXPECT_EQ(quiet.out, u"\r\n");
  EXPECT_TRUE(!quiet.err.empty());
  RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath);
}

// A numeric write that fails gives its own status, turned into text by Wine's
// FormatMessageW; the other values are still written.
TEST_F(FailedSave, ValueWriteStatusInTheSystemsWords) {
  struct Row {
    DWORD status;
    std::u16string text;  // empty: whatever Wine says, trimmed
  };
  const Row rows[] = {
      {ERROR_ACCESS_DENIED, u""},
      {ERROR_INVALID_PARAMETER, u""},
      {1392, u""},
      {0x20000001u, u"Error 536870913"},
      {0xE0000001u, u"Error -536870911"},
      {0xFFFFFFFFu, u"Unknown error"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("status " + std::to_string(row.status));
    host::CleanRegistry();
    host::ResetRecorders();
    host::FailValueWrite(u"Case Insensitive", static_cast<LONG>(row.status));
    host::CommandResult r = host::Quorv(u"/Q /B2 /S");
    EXPECT_EQ(r.result, 2);
    EXPECT_EQ(r.out, u"\r\n");
    const std::u16string text = row.text.empty() ? SystemText(row.status) : row.text;
    EXPECT_EQ(r.err, expected::kSaveErrorToUser + text + u"\r\n");
    EXPECT_TRUE(Read(HKEY_CURRENT_USER, L"Error Beep Mode").data == Dword(2));
    EXPECT_TRUE(Read(HKEY_CURRENT_USER, L"Counting Base").data == Dword(0));
    EXPECT_EQ(Read(HKEY_CURRENT_USER, L"Case Insensitive").status, ERROR_FILE_NOT_FOUND);
  }
  // Wine's texts end in a blank that the plugin must not print.
  wchar_t raw[1024] = {};
  const DWORD units = FormatMessageW(0x12FF, nullptr, ERROR_ACCESS_DENIED, 0, raw, 1024, nullptr);
  EXPECT_TRUE(units > 0 && (raw[units - 1] == L' ' || raw[units - 1] == L'\n'));
}

TEST_F(FailedSave, LastFailingWriteIsReported) {
  host::FailValueWrite(u"Error Beep Mode", ERROR_ACCESS_DENIED);
  host::FailValueWrite(u"Counting Base", ERROR_INVALID_PARAMETER);
  host::CommandResult r = host::Quorv(u"/Q /S");
  EXPECT_EQ(r.result, 2);
  EXPECT_EQ(r.err, expected::kSaveErrorToUser + SystemText(ERROR_INVALID_PARAMETER) + u"\r\n");
}

// A stale file name that the registry will not delete would come back at the next load: the
// save fails with the system's reason, and the name stays where it was.
TEST_F(FailedSave, RefusedDeleteOfAStaleFileName) {
  Put(HKEY_CURRENT_USER, L"Error Beep Filename", REG_SZ, Text(u"C:\\old.wav"));
  host::FailValueDelete(u"Error Beep Filename", ERROR_ACCESS_DENIED);
  host::CommandResult r = host::Quorv(u"/Q /S");
  EXPECT_EQ(r.result, 2);
  EXPECT_EQ(r.err, expected::kSaveErrorToUser + SystemText(ERROR_ACCESS_DENIED) + u"\r\n");
  EXPECT_TRUE(Read(HKEY_CURRENT_USER, L"Error Beep Filename").data == Text(u"C:\\old.wav"));
  host::FailValueDelete(u"Error Beep Filename", 0);
  EXPECT_EQ(host::Quorv(u"/Q /S").result, 0);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, L"Error Beep Filename").status, ERROR_FILE_NOT_FOUND);
}

TEST_F(FailedSave, FileNameWriteFailureGivesItsStatus) {
  const std::u16string wave = host::MakeFile(u"w.wav");
  host::FailValueWrite(u"Error Beep Filename", ERROR_ACCESS_DENIED);
  host::CommandResult r = host::Quorv(u"/Q /W:w.wav /S");
  EXPECT_EQ(r.result, 2);
  EXPECT_EQ(r.err, expected::kSaveErrorToUser + SystemText(ERROR_ACCESS_DENIED) + u"\r\n");
  EXPECT_TRUE(Read(HKEY_CURRENT_USER, L"Error Beep Mode").data == Dword(6));
}
