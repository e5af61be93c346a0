// The plugin frame through the DLL: identity, version resource, load banner, the shell's
// version, Usage and Help.
#include <windows.h>

#include <string>
#include <vector>

#include "expected.h"
#include "harness.h"
#include "host.h"

using host::Plugin;

namespace {

// The syntax part of the help: everything after the description line and its line feeds.
const std::u16string kUsageText =
    expected::kHelpText.substr(expected::kHelpText.find(u"QUORV /A:"));

std::u16string Text(const char16_t* text) {
  return text != nullptr ? text : u"(null)";
}

}  // namespace

// ==== Identity ====

SUITE_CASE(Identity, RecordHoldsThePluginsIdentity) {
  PluginInfo* info = Plugin.GetPluginInfo();
  CHECK(info != nullptr);
  if (info == nullptr) return;
  CHECK_EQ(Text(info->name), u"Quorvin");
  CHECK_EQ(Text(info->author), u"Brasklund");
  CHECK_EQ(Text(info->email), u"quorvin@velloran.org");
  CHECK_EQ(Text(info->webPage), u"https://velloran.org/quorvin");
  CHECK_EQ(Text(info->description), u"Access command history with a bang!");
  CHECK_EQ(Text(info->functions), u"quorv,*key");
  CHECK_EQ(info->major, 0);
  CHECK_EQ(info->minor, 70);
  CHECK_EQ(info->build, 0);
}

SUITE_CASE(Identity, LaterCallsStoreTheSameAndLeaveTheShellsFields) {
  PluginInfo* first = Plugin.GetPluginInfo();
  // The shell writes the fields after the build number itself.
  first->module = host::PluginModule();
  char16_t moduleName[] = u"quorvin.dll";
  first->moduleName = moduleName;
  first->minor = 99;
  PluginInfo* second = Plugin.GetPluginInfo();
  CHECK(second == first);
  CHECK_EQ(second->minor, 70);
  CHECK(second->module == host::PluginModule());
  CHECK(second->moduleName == moduleName);
}

SUITE_CASE(Identity, ShutdownSavesNothing) {
  CHECK_EQ(host::StartPlugin(), 0);
  host::TakeStdout();
  CHECK_EQ(host::Quorv(u"/Q /B3").result, 0);
  CHECK_EQ(Plugin.ShutdownPlugin(), 0);
  HKEY key;
  CHECK_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Velloran\\Quorvin", 0, KEY_READ, &key),
           ERROR_FILE_NOT_FOUND);
  CHECK_EQ(host::TakeStdout(), u"");
}

SUITE_CASE(Identity, VersionResourceNamesTheProduct) {
  const std::wstring& path = host::PluginPath();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  CHECK(size != 0);
  if (size == 0) return;
  std::vector<BYTE> data(size);
  CHECK(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  CHECK(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  if (fixed != nullptr) {
    CHECK_EQ(fixed->dwFileVersionMS, static_cast<DWORD>((0u << 16) | 70u));
    CHECK_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(0));
    CHECK_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
  }

  struct Row {
    const wchar_t* name;
    std::u16string value;
  };
  const Row rows[] = {
      {L"ProductName", u"Quorvin"},
      {L"FileDescription", u"Access command history with a bang!"},
      {L"FileVersion", u"0.70.0"},
      {L"OriginalFilename", u"quorvin.dll"},
  };
  for (const Row& row : rows) {
    suite::Input input(suite::Show(host::U16(row.name)));
    wchar_t* value = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + row.name;
    CHECK(VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
    if (value != nullptr) CHECK_EQ(host::U16(value), row.value);
  }
}

// ==== Load banner ====

SUITE_CASE(Banner, PrintedOnlyWhenTheVariablesExpandToExactly00) {
  struct Row {
    std::u16string transient, pipe;  // values of _transient and _pipe
    bool setNoLoadMessage;           // whether noloadmsg exists
    std::u16string noLoadMessage;    // its value
    bool banner;
  };
  const Row rows[] = {
      {u"0", u"0", false, u"", true},  {u"1", u"0", false, u"", false},
      {u"0", u"1", false, u"", false}, {u"0", u"0", true, u"x", false},
      {u"0", u"0", true, u"0", false}, {u"00", u"0", false, u"", false},
      {u"0", u"", false, u"", false},  {u"0", u"0x", false, u"", false},
      {u"", u"", false, u"", false},   {u"0", u"0", true, u"yes", false},
  };
  for (const Row& row : rows) {
    suite::Input input("_transient=" + suite::Show(row.transient) +
                       " _pipe=" + suite::Show(row.pipe) +
                       (row.setNoLoadMessage ? " noloadmsg=" + suite::Show(row.noLoadMessage)
                                             : std::string(" (no noloadmsg)")));
    CHECK(host::UnloadPlugin());
    CHECK(host::LoadPlugin());
    host::ResetShell();
    host::SetVariable(u"_transient", row.transient);
    host::SetVariable(u"_pipe", row.pipe);
    if (row.setNoLoadMessage) host::SetVariable(u"noloadmsg", row.noLoadMessage);
    CHECK_EQ(host::StartPlugin(), 0);
    CHECK_EQ(host::TakeStdout(), row.banner ? u"Quorvin v0.70.0 loaded.\r\n" : u"");
    CHECK_EQ(host::TakeStderr(), u"");
  }
}

// ==== The shell's version ====

// Key names are read from version 24 on: a key name of Enter with no key code expands the
// line only then.
SUITE_CASE(HostVersion, SwitchesBetweenKeyCodesAndKeyNames) {
  struct Row {
    std::u16string version;  // what %_4ver expands to
    bool keyNames;
  };
  const Row rows[] = {
      {u"28.02", true},       {u"24", true},          {u"23", false},   {u"100", true},
      {u"101", false},        {u"8", false},          {u"7", false},    {u"-5", false},
      {u"", false},           {u"33abc", true},       {u" 30", true},   {u"+30", true},
      {u"4294967296", false}, {u"4294967320", false}, {u"0x20", false}, {u"abc", false},
  };
  for (const Row& row : rows) {
    suite::Input input("_4ver=" + suite::Show(row.version));
    CHECK(host::UnloadPlugin());
    CHECK(host::LoadPlugin());
    host::SetHistory({u"echo one"});
    host::SetVariable(u"_4ver", row.version);
    host::StartPlugin();
    host::TakeStdout();
    host::KeyResult byName = host::Press(u"!!", 0, u"Enter");
    CHECK_EQ(byName.line, row.keyNames ? u"echo one" : u"!!");
    host::KeyResult byCode = host::Press(u"!!", 13, u"Ctrl-Enter");
    CHECK_EQ(byCode.line, row.keyNames ? u"!!" : u"echo one");
  }
}

// The shell writes a whole expansion, however long: the plugin's buffer must take it.
SUITE_CASE(HostVersion, LongExpansionsAreReadWhole) {
  host::SetHistory({u"echo one"});
  host::SetVariable(u"_4ver", std::u16string(5000, u' ') + u"30");
  host::SetVariable(u"noloadmsg", std::u16string(5000, u'm'));
  CHECK_EQ(host::StartPlugin(), 0);
  CHECK_EQ(host::TakeStdout(), u"");
  CHECK_EQ(host::Press(u"!!", 0, u"Enter").line, u"echo one");  // version 30: key names
}

// ==== Usage and Help ====

SUITE_CASE(Usage, GivesTheSyntaxForTheCommandInAnyCase) {
  for (const std::u16string name : {u"QUORV", u"Quorv", u"quorv"}) {
    suite::Input input(suite::Show(name));
    std::vector<char16_t> out(1024 + 16, 0xA5A5);
    CHECK_EQ(Plugin.Usage(name.c_str(), out.data()), 1);
    CHECK_EQ(std::u16string(out.data()), kUsageText);
    CHECK(out[1024] == 0xA5A5);
  }
}

SUITE_CASE(Usage, KnowsNoOtherName) {
  for (const std::u16string name : {u"quor", u"quorvx", u"@quorv", u"_quorv", u"", u"key"}) {
    suite::Input input(suite::Show(name));
    std::vector<char16_t> out(1024, 0xA5A5);
    CHECK_EQ(Plugin.Usage(name.c_str(), out.data()), 0);
    CHECK(out[0] == 0xA5A5);
  }
}

SUITE_CASE(Help, ShowsTheHelpInAMessageBoxOwnedByTheForegroundWindow) {
  for (const std::u16string name : {u"QUORV", u"Quorv", u"quorv"}) {
    suite::Input input(suite::Show(name));
    CHECK_EQ(Plugin.Help(name.c_str()), 1);
    std::vector<host::MessageBoxCall> boxes = host::TakeMessageBoxes();
    CHECK_EQ(boxes.size(), static_cast<size_t>(1));
    if (boxes.size() != 1) continue;
    CHECK_EQ(boxes[0].text, expected::kHelpText);
    CHECK_EQ(boxes[0].caption, u"Quorvin Plugin Help");
    CHECK(boxes[0].owner == host::FakeForegroundWindow());
    CHECK_EQ(boxes[0].type, static_cast<UINT>(0));
  }
  CHECK(host::ForegroundWindowCalls() == 3);
}

SUITE_CASE(Help, KnowsNoOtherName) {
  for (const std::u16string name : {u"quor", u"quorvx", u"@quorv", u"_quorv", u""}) {
    suite::Input input(suite::Show(name));
    CHECK_EQ(Plugin.Help(name.c_str()), 0);
    CHECK_EQ(host::TakeMessageBoxes().size(), static_cast<size_t>(0));
  }
}
