// Everything the shell sees of the plugin: the exported entry points, each a thin call into
// the subsystem that does the work.
#include "plugin/plugin.h"

extern "C" {

PluginInfo* GetPluginInfo(void) {
  return FillPluginInfo();
}

// 0, loaded: nothing in the start-up can fail.
int InitializePlugin(void) {
  StartPlugin();
  return 0;
}

int ShutdownPlugin(void) {
  return 0;
}  // nothing is saved at shutdown

int Usage(const char16_t* name, char16_t* out) {
  return CommandUsage(name, out);
}

int Help(const char16_t* name) {
  return CommandHelp(name);
}

int key(KeyEvent* event) {
  HandleKey(event);
  return 0;
}

int quorv(char16_t* arguments) {
  return SettingsCommand(arguments);
}

}  // extern "C"
