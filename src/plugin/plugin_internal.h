// The frame's own routines behind the exports.
#pragma once

#include "host/host_api.h"

// Fills the identity record and returns it.
PluginInfo* FillPluginInfo();

// Banner, shell version and saved settings, in that order. Always 0.
int StartPlugin();

// The syntax of command `name` into `out` (kUsageCapacity units): 1, or 0 when the plugin has
// no such command.
int CommandUsage(const char16_t* name, char16_t* out);

// Shows the help of command `name` in a message box: 1, or 0 when there is no such command.
int CommandHelp(const char16_t* name);
