// The process-wide records of the shared floor: the settings and the shell's version.
#include "core/core.h"

SettingsRecord PluginSettings = kDefaultSettings;

int HostMajorVersion = 0;
