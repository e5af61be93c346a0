// Start-up of the plugin: its identity record, the load banner, the shell's version and the
// saved settings.
#include <cerrno>

#include "plugin/plugin.h"
#include "text/text.h"

namespace {

// The identity record the shell reads; filled by every GetPluginInfo call.
PluginInfo Identity;

constexpr int kLowestVersion = 8;
constexpr int kHighestVersion = 100;

// Prints the load banner unless the shell is transient, piped, or asked for no load message:
// only then do the three variables expand to exactly "00".
void PrintBanner() {
  const char16_t* state = ExpandShellText(u"%[_transient]%[_pipe]%[noloadmsg]");
  if (state[0] == u'0' && state[1] == u'0' && state[2] == 0) {
    Printf(u"%s v%u.%u.%u loaded.\r\n", kPluginName, kVersionMajor, kVersionMinor, kVersionBuild);
  }
}

}  // namespace

PluginInfo* FillPluginInfo() {
  Identity.name = kPluginName;
  Identity.author = kPluginAuthor;
  Identity.email = kPluginEmail;
  Identity.webPage = kPluginWebPage;
  Identity.description = kPluginDescription;
  Identity.functions = kPluginFunctions;
  Identity.major = kVersionMajor;
  Identity.minor = kVersionMinor;
  Identity.build = kVersionBuild;
  return &Identity;
}

void ProbeHostVersion() {
  const char16_t* version = ExpandShellText(u"%_4ver");
  errno = 0;
  const uint32_t number = text::ToUnsigned32(version, nullptr, 10);
  HostMajorVersion = 0;
  if (errno == 0 && number >= static_cast<uint32_t>(kLowestVersion) &&
      number <= static_cast<uint32_t>(kHighestVersion)) {
    HostMajorVersion = static_cast<int>(number);
  }
}

void StartPlugin() {
  PrintBanner();
  ProbeHostVersion();
  if (LoadSettings(win::CurrentUser()) != 0) LoadSettings(win::LocalMachine());
}
