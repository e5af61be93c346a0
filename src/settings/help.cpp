// The syntax and help of the plugin's commands, for the shell's Usage and Help requests.
#include "core/core.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "text/text.h"

const char16_t HelpText[] =
    u"Display and change Quorvin plugin settings. \n"
    u"\n"
    u"QUORV /A: /B: /D /H[n] /I: /Q /R /S /W: /X: /Z:  \r\n"
    u"\n"
    u"\t/A:\tallow whitespace after the first bang \n"
    u"\t/B:\terror beep mode \n"
    u"\t/D\trestore plugin default settings \n"
    u"\t/H[n]\tlist the history numbered as !n recalls it (the newest n) \n"
    u"\t/I:\tcase insensitive searches \n"
    u"\t/Q\tquietly\n"
    u"\t/R\trestore saved settings from the registry \n"
    u"\t/S\tsave the current settings to the registry \n"
    u"\t/W:\tspecify a .WAV file for the error beep \n"
    u"\t/X:\texecute command on failure \n"
    u"\t/Z:\tcounting base (zero or one) \n"
    u"\n"
    u"QUORV with no options displays the current settings.\n";

const CommandRow CommandTable[] = {
    {u"quorv", HelpText},
};
const size_t CommandCount = sizeof CommandTable / sizeof CommandTable[0];

namespace {

const CommandRow* FindCommand(const char16_t* name) {
  for (size_t i = 0; i < CommandCount; ++i) {
    if (text::EqualsIgnoreAsciiCase(name, CommandTable[i].name)) return &CommandTable[i];
  }
  return nullptr;
}

}  // namespace

int CommandUsage(const char16_t* name, char16_t* out) {
  if (name == nullptr || out == nullptr || name[0] == u'@' || name[0] == u'_') return 0;
  const CommandRow* row = FindCommand(name);
  if (row == nullptr) return 0;
  // The syntax follows the description line and the line feeds after it.
  const char16_t* syntax = row->help;
  while (*syntax != 0 && *syntax != u'\n') ++syntax;
  while (*syntax == u'\n') ++syntax;
  text::Copy(out, kUsageCapacity, syntax);
  return 1;
}

int CommandHelp(const char16_t* name) {
  char16_t caption[kCaptionCapacity];
  win::wsprintfW(caption, u"%s Plugin Help", kPluginName);
  if (name == nullptr) return 0;
  const CommandRow* row = FindCommand(name);
  if (row == nullptr) return 0;
  win::MessageBoxW(win::GetForegroundWindow(), row->help, caption, 0);
  return 1;
}
