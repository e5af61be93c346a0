// The shell's side of the plugin calls: loading it, and handing it Enter, Shift-Enter, Tab and
// Space in a KeyEvent the way Take Command does for the version it pretends to be.
#include <cstdio>

#include "keys/keys.h"
#include "plugin/plugin.h"
#include "shell.h"
#include "text/text.h"

namespace qshell {

char16_t EditLine[kLineCapacity];

namespace {

// The key name the plugin may empty; refilled for every keystroke.
char16_t KeyName[kKeyNameCapacity];

// The code and the name the shell gives each key. Older shells only pass codes; Shift-Enter
// then has a code of its own. Newer ones also name the key, and the name is what the plugin
// goes by.
struct KeyIdentity {
  int code;
  const char16_t* name;
};

KeyIdentity IdentityOf(Key pressed) {
  switch (pressed) {
    case Key::Enter:
      return {kKeyEnter, u"Enter"};
    case Key::ShiftEnter:
      return {kKeyShiftEnter, u"Shift-Enter"};
    case Key::Tab:
      return {kKeyTab, u"Tab"};
    case Key::Space:
      return {kKeySpace, u"Space"};
  }
  return {0, u""};
}

}  // namespace

void LoadPlugin() {
  GetPluginInfo();
  InitializePlugin();
}

void UnloadPlugin() {
  ShutdownPlugin();
}

bool FitsEditLine(const std::u16string& line) {
  return line.size() <= kMaxLineLength && line.find(u'\0') == std::u16string::npos;
}

void ReportUnfit(const std::u16string& line) {
  if (line.size() > kMaxLineLength) {
    fprintf(stderr,
            "quorvin-shell: line too long: %zu UTF-16 units, the edit line holds %zu; not run\n",
            line.size(), kMaxLineLength);
  } else {
    fprintf(stderr, "quorvin-shell: the line holds a NUL, which the edit line cannot; not run\n");
  }
  fflush(stderr);
}

KeyOutcome PressKey(const std::u16string& line, Key pressed, size_t cursor) {
  if (!FitsEditLine(line)) return {false, false, 0};
  text::Copy(EditLine, kLineCapacity, line.c_str());
  const size_t length = line.size();

  KeyEvent event = {};
  event.line = EditLine;
  event.cursor = EditLine + (cursor < length ? cursor : length);
  event.redraw = 0;
  const KeyIdentity identity = IdentityOf(pressed);
  event.key = identity.code;
  if (Options.shellVersion >= kKeyNameVersion) {
    text::Copy(KeyName, kKeyNameCapacity, identity.name);
    event.keyName = KeyName;
  } else {
    KeyName[0] = 0;
    event.keyName = nullptr;
  }

  ::key(&event);

  KeyOutcome outcome;
  outcome.survived = event.key != 0;
  outcome.redrawn = event.redraw != 0;
  const size_t after = text::Length(EditLine);
  outcome.cursor = after;
  if (event.cursor >= EditLine && event.cursor <= EditLine + after) {
    outcome.cursor = static_cast<size_t>(event.cursor - EditLine);
  }
  return outcome;
}

}  // namespace qshell
