// Settings: the registry persistence of the settings record, the argument splitter and the
// `quorv` settings command.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/core.h"
#include "platform/platform.h"

// ==== Persistence ====

constexpr const char16_t* kSettingsKeyPath = u"Software\\Velloran\\Quorvin";

// Reads the settings under `root`. 0 when all five numeric values were present and in range
// and were applied; otherwise the number of bad values (1 also when the key cannot be opened)
// and the record is unchanged.
int LoadSettings(win::HKEY root);

// Writes the settings under `root`, and removes a file name that is no valid wave file. 0 on
// success; otherwise the platform's status of the failure: of creating or opening the key
// (nothing is written then), or else of the last value whose write or removal failed (every
// value is still attempted; a file name that was not there needs no removal).
int SaveSettings(win::HKEY root);

// The custom beep needs its file: in mode 6 without a valid wave file, the mode falls back to
// the shell's beep (1).
void FallBackToDefaultBeep();

// Puts the five numeric settings back to their defaults; keeps the custom file.
void ResetSettings();

// ==== Argument splitter ====

constexpr int kMaxArguments = 1024;
constexpr size_t kMaxArgumentLength = 8192;

// The result of the last `SplitArguments`. Read by the settings command, which may upper-case
// one token in place; otherwise written only by the splitter.
struct ArgumentRecord {
  int count;                            // tokens of the last successful split; 0 after a failed one
  char16_t* starts[kMaxArguments];      // token i's text in `buffer`; null from `count` on
  int lengths[kMaxArguments];           // token i's length in units; 0 from `count` on
  char16_t buffer[kMaxArgumentLength];  // the token texts, each followed by a zero unit
};

extern ArgumentRecord ArgumentTable;

// Splits `text` into `ArgumentTable`. The number of tokens (0 to kMaxArguments), or -1 when
// `text` is null (the table is then untouched), when the buffer overflowed, or when a token
// would begin past the last of the table; after those two a message is written and the count
// is 0.
int SplitArguments(const char16_t* text);

// ==== Settings command ====

constexpr int kResultUsage = 1;
constexpr int kResultSaveFailed = 2;
constexpr int kResultNoArguments = 87;

// 0 when the whole text is one number (decimal, 0x hexadecimal, 0o octal), stored in `*out`;
// -1 when `out` is null, the text is not a number or text follows it; ERANGE beyond 32 bits.
int ParseUnsignedValue(const char16_t* text, uint32_t* out);

// The settings command; the export `quorv` calls it. 0, 1, 2 or 87.
int SettingsCommand(char16_t* arguments);

// ==== History list ====

// Writes the newest `newest` entries of the shell's history (all, when it holds fewer), oldest
// first, one a line: the number `!n` recalls the entry by under the current counting base,
// right-aligned to the width of the largest number shown, two blanks, the entry, CR LF.
void ListHistory(uint32_t newest);

// ==== Command help ====
// The help text, printed by the settings command and shown by the shell's Help request.
constexpr size_t kCommandNameCapacity = 10;
constexpr size_t kUsageCapacity = 1024;
constexpr size_t kCaptionCapacity = 1024;

// One command of the plugin and its help text.
struct CommandRow {
  char16_t name[kCommandNameCapacity];  // command name, compared without regard to case
  const char16_t* help;                 // its full help text
};

extern const char16_t HelpText[];
extern const CommandRow CommandTable[];
extern const size_t CommandCount;

// The syntax of command `name` into `out` (kUsageCapacity units): 1, or 0 when the plugin has
// no such command.
int CommandUsage(const char16_t* name, char16_t* out);

// Shows the help of command `name` in a message box: 1, or 0 when there is no such command.
int CommandHelp(const char16_t* name);
