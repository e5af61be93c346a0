// The `quorv` settings command: reads every option first, then applies them in a fixed order,
// reports and saves.
#include <cerrno>

#include "core/core.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "text/text.h"

namespace {

constexpr int32_t kNothingPending = -1;

// What one call of the command has read from its options and will apply afterwards.
struct Pending {
  int32_t errorBeepMode;                       // 0 to 6, or kNothingPending
  int32_t allowWhitespace;                     // 0/1, or kNothingPending
  int32_t caseInsensitive;                     // 0/1, or kNothingPending
  int32_t executeOnFailure;                    // 0/1, or kNothingPending
  int32_t countingBase;                        // 0/1, or kNothingPending
  char16_t customBeepFile[kWaveFileCapacity];  // full path from /W, or empty
  bool quiet;                                  // /Q
  bool defaults;                               // /D
  bool restore;                                // /R
  win::HKEY saveTarget;                        // /S or /S!, or null
};

// The full path of a /W file name. Kept out of the shell's stack for its size; used only
// inside one call.
char16_t TrueName[kTrueNameCapacity];

const char16_t* HiveWord(win::HKEY root) {
  return root == win::LocalMachine() ? u"HKLM" : u"HKCU";
}

const char16_t* YesNo(uint32_t flag) {
  return flag != 0 ? u"Yes" : u"No";
}

// Writes one error message about `token`, upper-cased first when `upperCase`, and gives the
// command's result for a bad option.
int OptionError(const char16_t* format, char16_t* token, bool upperCase) {
  if (upperCase) win::CharUpperW(token);
  WriteErrorPrefix();
  Qprintf(StandardError(), format, token);
  return kResultUsage;
}

// The token is `name` (like "/A") followed by a value: compared without regard to case.
bool HasPrefix(const char16_t* token, char16_t letter) {
  return token[0] == u'/' && text::FoldAscii(token[1]) == text::FoldAscii(letter);
}

// The value after the two-character option name, past one ':' or '='.
const char16_t* OptionValue(const char16_t* token) {
  const char16_t* value = token + 2;
  return (*value == u':' || *value == u'=') ? value + 1 : value;
}

bool IsWhole(const char16_t* token, const char16_t* option) {
  return text::EqualsIgnoreAsciiCase(token, option);
}

// A 0/1 option (/A, /I, /X, /Z): any non-zero number gives 1. 0, or 1 after the message.
int ReadFlag(char16_t* token, const char16_t* badFormat, int32_t* pending) {
  uint32_t number = 0;
  if (ParseUnsignedValue(OptionValue(token), &number) != 0) {
    return OptionError(badFormat, token, true);
  }
  *pending = number != 0 ? 1 : 0;
  return 0;
}

void PrintReport() {
  const SettingsRecord& s = PluginSettings;
  Printf(u"\r\n%s v%u.%u.%u settings:\r\n\n", kPluginName, kVersionMajor, kVersionMinor,
         kVersionBuild);
  Printf(u"  Allow whitespace . . . . . . . . /A : %-2d  (%s)\r\n", s.allowWhitespace,
         YesNo(s.allowWhitespace));
  Printf(u"  Error beep mode  . . . . . . . . /B : %-2d  (%s)\r\n", s.errorBeepMode,
         s.errorBeepMode < kBeepModeCount ? BeepModeNames[s.errorBeepMode] : u"???");
  if (s.errorBeepMode == BeepCustom && s.customBeepFile[0] != 0) {
    Printf(u"  Custom error beep filename . . . /W : %s\r\n", s.customBeepFile);
  }
  Printf(u"  Case insensitive . . . . . . . . /I : %-2d  (%s)\r\n", s.caseInsensitive,
         YesNo(s.caseInsensitive));
  Printf(u"  Execute on failure . . . . . . . /X : %-2d  (%s)\r\n", s.executeOnFailure,
         YesNo(s.executeOnFailure));
  Printf(u"  Entries are numbered from  . . . /Z : %-2d\r\n", s.countingBase);
}

// Reads one token into `p`. 0 to go on; otherwise the command's result, at once.
int ReadOption(char16_t* token, Pending* p, bool* done) {
  if (token[0] == u'/' && token[1] == u'?') {
    QPuts(HelpText);
    if (token[2] == u'?') {
      Printf(u"\r\n\t\t\t\t%s  %u.%u.%u.%u (%s)\r\n", kPluginName, kVersionMajor, kVersionMinor,
             kVersionBuild, 0u, kPlatformTag);
    }
    *done = true;
    return 0;
  }
  if (HasPrefix(token, u'A')) {
    return ReadFlag(token, u"Bad AllowSpaces value: \"%s\"\r\n", &p->allowWhitespace);
  }
  if (HasPrefix(token, u'B')) {
    uint32_t mode = 0;
    if (ParseUnsignedValue(OptionValue(token), &mode) != 0) {
      return OptionError(u"Bad ErrorBeepMode value: \"%s\"\r\n", token, true);
    }
    if (mode >= kBeepModeCount) {
      // Printed unsigned: the number may lie above the signed 32-bit range.
      WriteErrorPrefix();
      Qprintf(StandardError(), u"ErrorBeepMode must be 0 to %u: %u\r\n", kBeepModeCount - 1, mode);
      return kResultUsage;
    }
    p->errorBeepMode = static_cast<int32_t>(mode);
    return 0;
  }
  if (IsWhole(token, u"/D")) {
    p->defaults = true;
    return 0;
  }
  if (HasPrefix(token, u'I')) {
    return ReadFlag(token, u"Bad CaseInsensitive value: \"%s\"\r\n", &p->caseInsensitive);
  }
  if (IsWhole(token, u"/Q")) {
    p->quiet = true;
    return 0;
  }
  if (IsWhole(token, u"/R")) {
    p->restore = true;
    return 0;
  }
  if (IsWhole(token, u"/S")) {
    p->saveTarget = win::CurrentUser();
    return 0;
  }
  if (IsWhole(token, u"/S!")) {
    p->saveTarget = win::LocalMachine();
    return 0;
  }
  if (HasPrefix(token, u'W')) {
    for (char16_t& c : TrueName) c = 0;
    QueryTrueName(OptionValue(token), TrueName);
    TrueName[kTrueNameCapacity - 1] = 0;  // a shell that fills the buffer leaves it unended
    if (!IsValidWaveFile(TrueName)) {
      return OptionError(u"Not a valid .WAV file: \"%s\"\r\n", token, true);
    }
    text::Copy(p->customBeepFile, kWaveFileCapacity, TrueName);
    p->errorBeepMode = BeepCustom;
    return 0;
  }
  if (HasPrefix(token, u'X')) {
    return ReadFlag(token, u"Bad ExecuteOnFail value: \"%s\"\r\n", &p->executeOnFailure);
  }
  if (HasPrefix(token, u'Z')) {
    return ReadFlag(token, u"Bad CountingBase value: \"%s\"\r\n", &p->countingBase);
  }
  if (token[0] == u'/') return OptionError(u"Unknown option: \"%s\"\r\n", token, false);
  return OptionError(u"Syntax error: \"%s\"\r\n", token, false);
}

void ApplyPending(int32_t value, uint32_t* setting) {
  if (value != kNothingPending) *setting = static_cast<uint32_t>(value);
}

}  // namespace

int ParseUnsignedValue(const char16_t* text, uint32_t* out) {
  if (out == nullptr) return -1;
  errno = 0;
  int base;
  const char16_t* digits = text;
  if (text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') && text::IsXDigit(text[2])) {
    base = 16;
    digits = text + 2;
  } else if (text[0] == u'0' && (text[1] == u'o' || text[1] == u'O') && text[2] >= u'0' &&
             text[2] <= u'7') {
    base = 8;
    digits = text + 2;
  } else if (text::IsDigit(text[0])) {
    base = 10;
  } else {
    return -1;
  }
  const char16_t* end = digits;
  const uint32_t number = text::ToUnsigned32(digits, &end, base);
  if (errno != 0) return errno;
  if (*end != 0) return -1;
  *out = number;
  return 0;
}

int SettingsCommand(char16_t* arguments) {
  if (arguments == nullptr) return kResultNoArguments;

  Pending p;
  p.errorBeepMode = p.allowWhitespace = p.caseInsensitive = p.executeOnFailure = p.countingBase =
      kNothingPending;
  for (char16_t& c : p.customBeepFile) c = 0;
  p.quiet = p.defaults = p.restore = false;
  p.saveTarget = nullptr;

  // The splitter has said why (too long, too many): nothing is applied or reported.
  if (SplitArguments(arguments) < 0) return kResultUsage;
  for (int i = 0; i < ArgumentTable.count; ++i) {
    if (ArgumentTable.lengths[i] == 0) continue;
    bool done = false;
    const int result = ReadOption(ArgumentTable.starts[i], &p, &done);
    if (result != 0 || done) return result;
  }

  if (p.restore) {
    const char16_t* source = nullptr;
    if (LoadSettings(win::CurrentUser()) == 0) {
      source = u"HKCU";
    } else if (LoadSettings(win::LocalMachine()) == 0) {
      source = u"HKLM";
    }
    if (source != nullptr) p.defaults = false;  // a successful restore cancels /D
    if (!p.quiet) {
      if (source != nullptr) {
        Printf(u"Settings restored from the registry (%s\\%s).\r\n", source, kSettingsKeyPath);
      } else {
        Printf(u"Settings not found in the registry.\r\n");
      }
    }
  }

  if (p.defaults) {
    ResetSettings();
    if (!p.quiet) Printf(u"Default plugin settings restored.\r\n");
  }

  ApplyPending(p.errorBeepMode, &PluginSettings.errorBeepMode);
  ApplyPending(p.caseInsensitive, &PluginSettings.caseInsensitive);
  ApplyPending(p.allowWhitespace, &PluginSettings.allowWhitespace);
  ApplyPending(p.executeOnFailure, &PluginSettings.executeOnFailure);
  ApplyPending(p.countingBase, &PluginSettings.countingBase);

  if (p.customBeepFile[0] != 0 && IsValidWaveFile(p.customBeepFile)) {
    text::Copy(PluginSettings.customBeepFile, kWaveFileCapacity, p.customBeepFile);
  }
  FallBackToDefaultBeep();

  if (!p.quiet) PrintReport();

  if (p.saveTarget != nullptr) {
    const int status = SaveSettings(p.saveTarget);
    if (status == 0) {
      if (!p.quiet) {
        Printf(u"\r\nSettings saved to the registry (%s\\%s).\r\n", HiveWord(p.saveTarget),
               kSettingsKeyPath);
      }
      return 0;
    }
    char16_t message[kErrorTextCapacity] = {};
    FormatSystemError(static_cast<uint32_t>(status), message);
    CrLf();
    WriteErrorPrefix();
    Qprintf(StandardError(), u"Error saving settings to the registry (%s\\%s) :\r\n",
            HiveWord(p.saveTarget), kSettingsKeyPath);
    Qprintf(StandardError(), u"%s\r\n", message);
    return kResultSaveFailed;
  }
  return 0;
}
