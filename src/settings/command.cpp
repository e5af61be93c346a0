// The `quorv` settings command: reads every option first, then applies them in a fixed order,
// reports (or lists the history) and saves.
#include <cerrno>

#include "core/core.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "text/text.h"

namespace {

constexpr int32_t kNothingPending = -1;

// What a bare /H lists: more entries than any history holds.
constexpr uint32_t kWholeHistory = 0xFFFFFFFFu;

// The row of the beep mode, which /W sets as well.
constexpr size_t RowOf(uint32_t SettingsRecord::*field) {
  size_t row = 0;
  while (row < kNumericSettingCount && kNumericSettings[row].field != field) ++row;
  return row;
}
constexpr size_t kBeepModeRow = RowOf(&SettingsRecord::errorBeepMode);
static_assert(kBeepModeRow < kNumericSettingCount, "the beep mode has a row");

// What one call of the command has read from its options and will apply afterwards.
struct Pending {
  int32_t numbers[kNumericSettingCount];       // by row of kNumericSettings: the value read from
                                               // its option, or kNothingPending
  char16_t customBeepFile[kWaveFileCapacity];  // full path from /W, or empty
  bool quiet;                                  // /Q
  bool defaults;                               // /D
  bool restore;                                // /R
  bool list;                                   // /H: the history in place of the report
  uint32_t listed;                             // /H: the newest entries to list
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

// The message about an option value that is no number, naming the value as `name`. The
// command's result for a bad option.
int BadValue(const char16_t* name, char16_t* token) {
  win::CharUpperW(token);
  WriteErrorPrefix();
  Qprintf(StandardError(), u"Bad %s value: \"%s\"\r\n", name, token);
  return kResultUsage;
}

// The option of a numeric setting into `*pending`. 0, or 1 after the message.
int ReadNumber(char16_t* token, const NumericSetting& setting, int32_t* pending) {
  uint32_t number = 0;
  if (ParseUnsignedValue(OptionValue(token), &number) != 0) {
    return BadValue(setting.optionName, token);
  }
  if (setting.maximum == 1) {
    number = number != 0 ? 1 : 0;
  } else if (number > setting.maximum) {
    // Printed unsigned: the number may lie above the signed 32-bit range.
    WriteErrorPrefix();
    Qprintf(StandardError(), u"%s must be 0 to %u: %u\r\n", setting.optionName, setting.maximum,
            number);
    return kResultUsage;
  }
  *pending = static_cast<int32_t>(number);
  return 0;
}

// One line of the report. The shell's Printf knows no %c: the option is a text of its own.
void PrintSetting(const NumericSetting& setting) {
  const uint32_t value = PluginSettings.*setting.field;
  const char16_t option[] = {u'/', setting.letter, 0};
  switch (setting.display) {
    case SettingDisplay::kNumberOnly:
      Printf(u"%s%s : %-2d\r\n", setting.label, option, value);
      break;
    case SettingDisplay::kYesNo:
      Printf(u"%s%s : %-2d  (%s)\r\n", setting.label, option, value, YesNo(value));
      break;
    case SettingDisplay::kBeepMode:
      Printf(u"%s%s : %-2d  (%s)\r\n", setting.label, option, value,
             value < kBeepModeCount ? BeepModeNames[value] : u"???");
      if (value == BeepCustom && PluginSettings.customBeepFile[0] != 0) {
        Printf(u"  Custom error beep filename . . . /W : %s\r\n", PluginSettings.customBeepFile);
      }
      break;
  }
}

// The settings, their rows in the order of their letters.
void PrintReport() {
  Printf(u"\r\n%s v%u.%u.%u settings:\r\n\n", kPluginName, kVersionMajor, kVersionMinor,
         kVersionBuild);
  char16_t shown = 0;  // the letter of the row printed last
  for (size_t n = 0; n < kNumericSettingCount; ++n) {
    const NumericSetting* next = nullptr;
    for (const NumericSetting& setting : kNumericSettings) {
      if (setting.letter > shown && (next == nullptr || setting.letter < next->letter)) {
        next = &setting;
      }
    }
    PrintSetting(*next);
    shown = next->letter;
  }
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
  for (size_t row = 0; row < kNumericSettingCount; ++row) {
    if (HasPrefix(token, kNumericSettings[row].letter)) {
      return ReadNumber(token, kNumericSettings[row], &p->numbers[row]);
    }
  }
  if (IsWhole(token, u"/D")) {
    p->defaults = true;
    return 0;
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
  if (HasPrefix(token, u'H')) {
    // A bare /H lists every entry; a value, however written, must be a count.
    uint32_t count = kWholeHistory;
    if (token[2] != 0 && ParseUnsignedValue(OptionValue(token), &count) != 0) {
      return BadValue(u"History", token);
    }
    p->list = true;
    p->listed = count;
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
    p->numbers[kBeepModeRow] = BeepCustom;
    return 0;
  }
  if (token[0] == u'/') return OptionError(u"Unknown option: \"%s\"\r\n", token, false);
  return OptionError(u"Syntax error: \"%s\"\r\n", token, false);
}

// The values read, in the order of the table.
void ApplyPending(const Pending& p) {
  for (size_t row = 0; row < kNumericSettingCount; ++row) {
    if (p.numbers[row] != kNothingPending) {
      PluginSettings.*kNumericSettings[row].field = static_cast<uint32_t>(p.numbers[row]);
    }
  }
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
  for (int32_t& number : p.numbers) number = kNothingPending;
  for (char16_t& c : p.customBeepFile) c = 0;
  p.quiet = p.defaults = p.restore = p.list = false;
  p.listed = 0;
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

  ApplyPending(p);

  if (p.customBeepFile[0] != 0 && IsValidWaveFile(p.customBeepFile)) {
    text::Copy(PluginSettings.customBeepFile, kWaveFileCapacity, p.customBeepFile);
  }
  FallBackToDefaultBeep();

  // /H shows the history with the settings now in force, whether or not the command is quiet.
  if (p.list) {
    ListHistory(p.listed);
  } else if (!p.quiet) {
    PrintReport();
  }

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
