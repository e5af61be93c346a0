// The plugin frame, on top of every other floor: the exported entry points and the start-up
// they run (the load banner, the shell's version, the saved settings).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/core.h"
#include "host/host_api.h"
#include "keys/keys.h"
#include "settings/settings.h"

// Fills the identity record and returns it.
PluginInfo* FillPluginInfo();

// Reads the shell's major version from "%_4ver" into `HostMajorVersion`.
void ProbeHostVersion();

// Banner, shell version and saved settings, in that order.
void StartPlugin();

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
