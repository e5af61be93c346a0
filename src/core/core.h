// The plugin's shared floor: its identity, the settings record, the shell's version, the test
// of a custom beep file, the help text, the expansion of the shell's variables and the
// diagnostics every error message goes through.
// The history and settings code sit on it; it includes nothing of theirs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_api.h"

// ==== Identity ====
constexpr const char16_t* kPluginName = u"Quorvin";
constexpr const char16_t* kPluginAuthor = u"Brasklund";
constexpr const char16_t* kPluginEmail = u"quorvin@velloran.org";
constexpr const char16_t* kPluginWebPage = u"https://velloran.org/quorvin";
constexpr const char16_t* kPluginDescription = u"Access command history with a bang!";
constexpr const char16_t* kPluginFunctions = u"quorv,*key";
constexpr const char16_t* kPlatformTag = u"x64";
constexpr unsigned kVersionMajor = 0;
constexpr unsigned kVersionMinor = 70;
constexpr unsigned kVersionBuild = 0;

// ==== The settings record ====

constexpr size_t kWaveFileCapacity = 256;  // custom beep file: 255 units and the terminator

// The plugin's settings. Set to the defaults at load; changed only by LoadSettings,
// ResetSettings and the settings command.
struct SettingsRecord {
  uint32_t errorBeepMode;                      // a BeepMode, 0 to 6
  uint32_t allowWhitespace;                    // 0/1: white space allowed after the first bang
  uint32_t executeOnFailure;                   // 0/1: a failed expansion still runs the line
  uint32_t caseInsensitive;                    // 0/1: searches fold A-Z
  uint32_t countingBase;                       // 0/1: the number of the oldest entry
  char16_t customBeepFile[kWaveFileCapacity];  // full path of the custom beep, or empty
};

// The defaults the record holds from the moment the library is loaded.
constexpr SettingsRecord kDefaultSettings = {1, 1, 1, 0, 0, {}};

extern SettingsRecord PluginSettings;

// ==== The shell's version ====

// The shell's major version: 0 until `InitializePlugin` has read it, then the version when it
// lies between 8 and 100, else 0. Written only by `ProbeHostVersion`; the keystroke handler
// reads it on every call.
extern int HostMajorVersion;

// ==== Beep modes and the custom beep file ====

// The error beep modes, as stored in the settings.
enum BeepMode : uint32_t {
  BeepNone = 0,
  BeepDefault = 1,
  BeepAsterisk = 2,
  BeepExclamation = 3,
  BeepCriticalStop = 4,
  BeepQuestion = 5,
  BeepCustom = 6,
};

constexpr uint32_t kBeepModeCount = 7;
constexpr size_t kBeepModeNameCapacity = 15;

// Display names of the beep modes, indexed by mode 0 to 6.
extern const char16_t BeepModeNames[kBeepModeCount][kBeepModeNameCapacity];

// 1 when `path` names an existing file (not a directory or device) with the extension .wav
// in any case and at most 255 units, whose name is no reserved device name (CON, NUL, COM1 and
// the like, in any case, before its first dot and trailing blanks); else 0. The path is used as
// it is.
int IsValidWaveFile(const char16_t* path);

// ==== Command help ====
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

// ==== The shell's variables ====

// Copies `text` into one process-wide buffer of kLineCapacity units, expands the shell's
// variables in it in place, and returns the buffer (valid until the next call). Everything
// runs on the shell's thread.
const char16_t* ExpandShellText(const char16_t* text);

// ==== Diagnostics ====
constexpr size_t kErrorTextCapacity = 1024;

// The process's standard error handle, fetched anew for every write: no handle is kept.
void* StandardError();

// Writes "Quorvin plugin: " and, inside a batch file, "name [line]  " to standard error.
void WriteErrorPrefix();

// The one-line text of a system error code into `buffer` (kErrorTextCapacity units), without
// white space at its end. Always 0.
int FormatSystemError(uint32_t code, char16_t* buffer);
