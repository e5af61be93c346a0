// The shell's side of the plugin calls: loading it, and handing it Enter and Shift-Enter in a
// KeyEvent the way Take Command does for the version it pretends to be.
#include "history/history.h"
#include "plugin/plugin.h"
#include "shell.h"
#include "text/text.h"

namespace qshell {

char16_t EditLine[kLineCapacity];

namespace {

// The key name the plugin may empty; refilled for every keystroke.
char16_t KeyName[kKeyNameCapacity];

}  // namespace

void LoadPlugin() {
  GetPluginInfo();
  InitializePlugin();
}

void UnloadPlugin() {
  ShutdownPlugin();
}

KeyOutcome PressKey(const std::u16string& line, Key pressed) {
  text::Copy(EditLine, kLineCapacity, line.c_str());

  KeyEvent event = {};
  event.line = EditLine;
  event.cursor = EditLine + text::Length(EditLine);
  event.redraw = 0;
  // Older shells only pass codes; Shift-Enter then has a code of its own. Newer ones also
  // name the key, and the name is what the plugin goes by.
  event.key = pressed == Key::Enter ? kKeyEnter : kKeyShiftEnter;
  if (Options.shellVersion >= kKeyNameVersion) {
    text::Copy(KeyName, kKeyNameCapacity, pressed == Key::Enter ? u"Enter" : u"Shift-Enter");
    event.keyName = KeyName;
  } else {
    KeyName[0] = 0;
    event.keyName = nullptr;
  }

  ::key(&event);

  KeyOutcome outcome;
  outcome.survived = event.key != 0;
  outcome.redrawn = event.redraw != 0;
  const size_t length = text::Length(EditLine);
  outcome.cursor = length;
  if (event.cursor >= EditLine && event.cursor <= EditLine + length) {
    outcome.cursor = static_cast<size_t>(event.cursor - EditLine);
  }
  return outcome;
}

}  // namespace qshell
