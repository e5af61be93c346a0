// The process-wide records of the shared floor: the settings and the shell's version.
#include "core/identity.h"
#include "core/settings_record.h"

SettingsRecord PluginSettings = kDefaultSettings;

int HostMajorVersion = 0;
