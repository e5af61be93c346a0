// The plugin frame: identity, the exported entry points, command help and the diagnostics
// every error message goes through.
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

// The shell's major version: 0 until `InitializePlugin` has read it, then the version when it
// lies between 8 and 100, else 0. Written only by `ProbeHostVersion`; the keystroke handler
// reads it on every call.
extern int HostMajorVersion;

// Capacity of the buffers the shell's variables are expanded into by `InitializePlugin`.
constexpr size_t kExpandCapacity = 1024;

// Reads the shell's major version from "%_4ver" into `HostMajorVersion`.
void ProbeHostVersion();

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

// ==== Diagnostics ====
constexpr size_t kPrefixCapacity = 8192;
constexpr size_t kErrorTextCapacity = 1024;

// Writes "Quorvin plugin: " and, inside a batch file, "name [line]  " to standard error.
void WriteErrorPrefix();

// The one-line text of a system error code into `buffer` (kErrorTextCapacity units), without
// white space at its end. Always 0.
int FormatSystemError(uint32_t code, char16_t* buffer);

// ==== Exports ====
// What the shell sees; defined in exports.cpp.
extern "C" {
PluginInfo* GetPluginInfo(void);
int InitializePlugin(void);
int ShutdownPlugin(void);
int Usage(const char16_t* name, char16_t* out);
int Help(const char16_t* name);
int key(KeyEvent* event);
int quorv(char16_t* arguments);
}
