// Interactive mode on a terminal: GNU readline edits the line, and Enter, Alt-Enter, Tab and
// Space go to the plugin before readline acts on them, as the shell hands every key to the
// plugin first. A line the edit line cannot hold whole is never cut, typed or pasted.
#include <readline/history.h>
#include <readline/readline.h>
#include <signal.h>
#include <stdio.h>  // readline.h needs FILE declared first

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "common/utf.h"
#include "shell.h"
#include "shell/standin_shell.h"

namespace qshell {

namespace {

constexpr const char* kPrompt = "quorvin> ";

// Set by SIGINT at the prompt; read and cleared by OnSignalEvent.
volatile sig_atomic_t Interrupted = 0;

void OnInterrupt(int) {
  Interrupted = 1;
}

// Ctrl-C at the prompt drops the line being edited and starts afresh, as shells do.
int OnSignalEvent() {
  if (Interrupted) {
    Interrupted = 0;
    rl_replace_line("", 0);
    rl_crlf();
    rl_on_new_line();
    rl_redisplay();
  }
  return 0;
}

// The plugin's `honk`: readline rings the bell its own way (bell-style in ~/.inputrc).
void RingBell() {
  rl_ding();
}

// Puts the plugin's rewritten edit line into readline, the cursor where the plugin left it.
void ShowEditLine(size_t cursor) {
  const std::string line = standin::ToUtf8(EditLine);
  const std::string before = standin::ToUtf8(std::u16string_view(EditLine, cursor));
  rl_replace_line(line.c_str(), 0);
  rl_point = std::min(static_cast<int>(before.size()), rl_end);
  rl_redisplay();
}

// Says below the edit line why it is refused, then draws the prompt and the line again, the
// cursor where it was, so that the line can be shortened.
void RefuseOnScreen(const std::u16string& line) {
  const int point = rl_point;
  rl_point = rl_end;
  rl_redisplay();
  rl_crlf();
  fflush(rl_outstream);
  ReportUnfit(line);
  rl_point = point;
  rl_on_new_line();
  rl_redisplay();
}

// One key of the two the plugin watches. A key the plugin lets through acts as the shell's own
// key: Enter accepts the line; Shift-Enter has nothing left to do. A line longer than the edit
// line rings the bell and stays as it is: Enter also says why, and neither key runs it.
int PressOnLine(Key pressed, int count, int keyCode) {
  const std::u16string line = standin::FromUtf8(rl_line_buffer);
  if (!FitsEditLine(line)) {
    rl_ding();
    if (pressed == Key::Enter) RefuseOnScreen(line);
    return 0;
  }
  const KeyOutcome outcome = PressKey(line, pressed);
  if (outcome.redrawn) ShowEditLine(outcome.cursor);
  if (outcome.survived && pressed == Key::Enter) return rl_newline(count, keyCode);
  return 0;
}

int EnterCommand(int count, int keyCode) {
  return PressOnLine(Key::Enter, count, keyCode);
}

int ShiftEnterCommand(int count, int keyCode) {
  return PressOnLine(Key::ShiftEnter, count, keyCode);
}

// Tab and Space reach the plugin with the cursor where readline has it. A key the plugin lets
// through does its own work: Tab readline's completion, Space a blank at the (new) cursor. On a
// line longer than the edit line either key only rings the bell: the plugin cannot see it
// whole, and a blank would only make it longer.
int PressInPlace(Key pressed, int count, int keyCode) {
  const std::u16string line = standin::FromUtf8(rl_line_buffer);
  if (!FitsEditLine(line)) {
    rl_ding();
    return 0;
  }
  const size_t cursor = standin::FromUtf8(std::string_view(rl_line_buffer, rl_point)).size();
  const KeyOutcome outcome = PressKey(line, pressed, cursor);
  if (outcome.redrawn) ShowEditLine(outcome.cursor);
  if (!outcome.survived) return 0;
  return pressed == Key::Tab ? rl_complete(count, keyCode) : rl_insert(count, keyCode);
}

// The terminal's bracketed paste, read as readline's own paste reads it (a carriage return
// is a line feed), goes in whole or not at all. Readline would insert it only up to a NUL, and
// Enter would then run the part before it: a paste holding a NUL rings the bell, says why and
// leaves the line as it was.
int PasteCommand(int, int) {
  static const std::string kEnd = "\033[201~";
  std::string text;
  RL_SETSTATE(RL_STATE_MOREINPUT);
  for (int c; (c = rl_read_key()) >= 0;) {
    text.push_back(c == '\r' ? '\n' : static_cast<char>(c));
    if (text.size() >= kEnd.size() &&
        text.compare(text.size() - kEnd.size(), kEnd.size(), kEnd) == 0) {
      text.resize(text.size() - kEnd.size());
      break;
    }
  }
  RL_UNSETSTATE(RL_STATE_MOREINPUT);
  if (text.find('\0') != std::string::npos) {
    rl_ding();
    RefuseOnScreen(std::u16string(1, u'\0'));  // the line would hold a NUL
    return 0;
  }
  rl_mark = rl_point;
  rl_insert_text(text.c_str());
  rl_activate_mark();
  return 0;
}

int TabCommand(int count, int keyCode) {
  return PressInPlace(Key::Tab, count, keyCode);
}

int SpaceCommand(int count, int keyCode) {
  return PressInPlace(Key::Space, count, keyCode);
}

// The commands' names for ~/.inputrc, which readline reads as it initializes: named before.
void NameCommands() {
  rl_add_defun("quorvin-enter", EnterCommand, -1);
  rl_add_defun("quorvin-shift-enter", ShiftEnterCommand, -1);
  rl_add_defun("quorvin-tab", TabCommand, -1);
  rl_add_defun("quorvin-space", SpaceCommand, -1);
}

// Terminals cannot send Shift-Enter in general; Alt-Enter (ESC CR) they can. Some send a
// Shift-Enter of their own when asked (xterm's modifyOtherKeys, the "CSI u" protocol).
void BindKeys() {
  Keymap keymaps[] = {rl_get_keymap_by_name("emacs"), rl_get_keymap_by_name("vi-insert"),
                      rl_get_keymap_by_name("vi-command")};
  for (Keymap map : keymaps) {
    if (map == nullptr) continue;
    rl_bind_key_in_map('\r', EnterCommand, map);
    rl_bind_key_in_map('\n', EnterCommand, map);
  }
  // Tab and Space where they edit text (in vi's command mode they move the cursor).
  for (Keymap map : {keymaps[0], keymaps[1]}) {
    if (map == nullptr) continue;
    rl_bind_key_in_map('\t', TabCommand, map);
    rl_bind_key_in_map(' ', SpaceCommand, map);
  }
  for (Keymap map : {keymaps[0], keymaps[1]}) {
    if (map != nullptr) rl_bind_keyseq_in_map("\\e[200~", PasteCommand, map);
  }
  Keymap emacs = rl_get_keymap_by_name("emacs");
  for (const char* sequence : {"\\e\\r", "\\e\\n", "\\e[27;2;13~", "\\e[13;2u"}) {
    rl_bind_keyseq_in_map(sequence, ShiftEnterCommand, emacs);
  }
}

}  // namespace

int RunInteractive() {
  rl_readline_name = "quorvin-shell";
  // Readline expands history only when asked through history_expand, which this program never
  // calls: the plugin does the expanding. Clearing the character keeps it that way.
  history_expansion_char = 0;
  NameCommands();
  rl_initialize();
  BindKeys();

  struct sigaction interrupt = {};
  interrupt.sa_handler = OnInterrupt;
  sigemptyset(&interrupt.sa_mask);
  sigaction(SIGINT, &interrupt, nullptr);
  rl_signal_event_hook = OnSignalEvent;

  standin::SetHonkHook(RingBell);

  int status = 0;
  for (;;) {
    char* input = readline(kPrompt);
    if (input == nullptr) {  // Ctrl-D on an empty line
      printf("\n");
      return status;
    }
    const std::u16string line = standin::FromUtf8(input);
    // A line accepted by a key other than Enter (a binding of the user's) has not been measured.
    if (!FitsEditLine(line)) {
      ReportUnfit(line);
      free(input);
      status = 1;
      continue;
    }
    if (input[strspn(input, " \t")] != 0) add_history(input);
    free(input);

    const LineResult result = RunLine(line);
    status = result.status;
    if (result.exitShell) return status;
  }
}

}  // namespace qshell
