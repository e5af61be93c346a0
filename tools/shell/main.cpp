// quorvin-shell: the program's options, the start-up of the plugin, and the piped mode in which
// every input line is typed and Enter pressed.
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/utf.h"
#include "platform/standin_platform.h"
#include "shell.h"
#include "shell/standin_shell.h"

namespace qshell {

ProgramOptions Options;

namespace {

constexpr int kUsageError = 2;
constexpr long kHighestShellVersion = 999;

// One screen: at most 40 lines of 79 columns (the transcript test measures it).
const char kHelp[] =
    "Usage: quorvin-shell [OPTION]...\n"
    "A small shell that hosts the Quorvin plugin the way Take Command does: Enter,\n"
    "Tab and Space go to the plugin first, which expands history references (!!,\n"
    "!12, !-2, !0x1F, !cd, !?copy, then :s/old/new/; more in bash mode).\n"
    "\n"
    "Options:\n"
    "  --shell-version N  the shell's major version the plugin is told (_4ver): from\n"
    "                     24 on keys go by name, below by code only. Default 28.\n"
    "  --var NAME=VALUE   a shell variable the plugin reads from its start, such as\n"
    "                     noloadmsg=1 (no banner) or _batch=1; may be repeated\n"
    "  --registry FILE    the file that stands for the registry (quorv /S saves to\n"
    "                     it); default ~/.config/quorvin/registry, or the same under\n"
    "                     $XDG_CONFIG_HOME; an empty FILE: in memory only\n"
    "  --dry-run          print the lines that would run instead of running them\n"
    "  --help             show this help\n"
    "\n"
    "Keys on a terminal (GNU readline), with the commands ~/.inputrc can bind:\n"
    "  Enter       quorvin-enter: expand the line and run it; a failed reference\n"
    "              runs as typed, or stays on the line after quorv /X0\n"
    "  Alt-Enter   quorvin-shift-enter: expand only, as the shell's Shift-Enter\n"
    "              (also ESC [27;2;13~ and ESC [13;2u, which some terminals send)\n"
    "  Tab, Space  quorvin-tab, quorvin-space: go to the plugin with the cursor;\n"
    "              let through, Tab completes a file name and Space types a blank\n"
    "  Up, Down    earlier and later lines; Ctrl-C drops the line; Ctrl-D leaves\n"
    "A line longer than 65535 UTF-16 units is never cut: these keys ring the bell\n"
    "and leave it as it is, and Enter says why.\n"
    "\n"
    "Variables the plugin reads (set NAME=VALUE; set NAME= removes one):\n"
    "  QUORVIN_KEYS=tab space verify  tab, space: the key expands the text before\n"
    "              the cursor in place; verify: Enter leaves its expansion on the\n"
    "              line for a second look, and the next Enter runs it\n"
    "  QUORVIN_EXPAND=bash  bash's history expansion in the whole line (sudo !!)\n"
    "\n"
    "Piped input: each line is typed and Enter pressed; a line the plugin rewrote is\n"
    "printed before it runs, commands read /dev/null, a line too long is refused.\n"
    "\n"
    "Built-ins: quorv [OPTIONS] (the plugin's settings; quorv /? lists them),\n"
    "history (numbered as !n counts), cd [DIR], set NAME=VALUE, exit [N]; /bin/sh -c\n"
    "runs the rest. Every line run joins the history; bytes that are not UTF-8 reach\n"
    "the command as typed. The error beep rings the bell in mode 1; others are mute.\n";

// Reads the leading decimal number of a version text, as the plugin does ("28.02" is 28).
int LeadingVersion(const std::string& text) {
  return static_cast<int>(strtol(text.c_str(), nullptr, 10));
}

// The registry file when none is named: under the user's configuration directory.
std::string DefaultRegistryFile() {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/quorvin/registry";
  const char* home = getenv("HOME");
  if (home != nullptr && home[0] != 0) return std::string(home) + "/.config/quorvin/registry";
  return "";
}

// Creates the folders above `file` that are missing. False, with a message, when one cannot be.
bool MakeParentFolders(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos;
       slash = file.find('/', slash + 1)) {
    const std::string folder = file.substr(0, slash);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      fprintf(stderr, "quorvin-shell: cannot create %s: %s\n", folder.c_str(), strerror(errno));
      return false;
    }
  }
  return true;
}

// The value of an option given as "--name VALUE" or "--name=VALUE"; advances `index` past a
// separate value. False when the option is another one, or its value is missing.
bool OptionValue(int argc, char** argv, int* index, const char* name, std::string* value,
                 bool* missing) {
  const char* argument = argv[*index];
  const size_t length = strlen(name);
  if (strncmp(argument, name, length) != 0) return false;
  if (argument[length] == '=') {
    *value = argument + length + 1;
    return true;
  }
  if (argument[length] != 0) return false;
  if (*index + 1 >= argc) {
    *missing = true;
    return true;
  }
  *value = argv[++*index];
  return true;
}

int UsageError(const std::string& message) {
  fprintf(stderr, "quorvin-shell: %s\nTry 'quorvin-shell --help'.\n", message.c_str());
  return kUsageError;
}

// Reads the options into Options and the stand-in shell's variables. -1 to go on, otherwise
// the program's exit status.
int ReadOptions(int argc, char** argv) {
  bool registryNamed = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    std::string value;
    bool missing = false;
    if (argument == "--help" || argument == "-h") {
      fputs(kHelp, stdout);
      return 0;
    }
    if (argument == "--dry-run") {
      Options.dryRun = true;
    } else if (OptionValue(argc, argv, &i, "--shell-version", &value, &missing)) {
      if (missing) return UsageError("--shell-version needs a number");
      char* end = nullptr;
      const long version = strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != 0 || version < 0 || version > kHighestShellVersion) {
        return UsageError("--shell-version: not a version number: " + value);
      }
      Options.shellVersion = static_cast<int>(version);
      standin::SetVariable(u"_4ver", standin::FromUtf8(value));
    } else if (OptionValue(argc, argv, &i, "--var", &value, &missing)) {
      const size_t equals = value.find('=');
      if (missing || equals == std::string::npos || equals == 0) {
        return UsageError("--var needs NAME=VALUE");
      }
      const std::string name = value.substr(0, equals);
      standin::SetVariable(standin::FromUtf8(name), standin::FromUtf8(value.substr(equals + 1)));
      if (strcasecmp(name.c_str(), "_4ver") == 0) {
        Options.shellVersion = LeadingVersion(value.substr(equals + 1));
      }
    } else if (OptionValue(argc, argv, &i, "--registry", &value, &missing)) {
      if (missing) return UsageError("--registry needs a file name");
      Options.registryFile = value;
      registryNamed = true;
    } else {
      return UsageError("unknown option: " + argument);
    }
  }
  if (!registryNamed) Options.registryFile = DefaultRegistryFile();
  return -1;
}

// Piped input: each line is typed on the edit line and Enter pressed. A line the plugin
// swallowed is dropped, since the next line takes its place on the edit line. A line the edit
// line cannot hold whole is refused, with status 1, and does not join the history.
int RunTranscript() {
  char* input = nullptr;
  size_t capacity = 0;
  int status = 0;
  for (;;) {
    ssize_t length = getline(&input, &capacity, stdin);
    if (length < 0) break;
    if (length > 0 && input[length - 1] == '\n') input[--length] = 0;
    if (length > 0 && input[length - 1] == '\r') input[--length] = 0;

    const std::u16string typed = standin::FromUtf8(std::string_view(input, length));
    if (!FitsEditLine(typed)) {
      ReportUnfit(typed);
      status = 1;
      continue;
    }
    const KeyOutcome outcome = PressKey(typed, Key::Enter);
    if (!outcome.survived) continue;
    const std::u16string line(EditLine);
    if (outcome.redrawn && !Options.dryRun) {
      printf("%s\n", standin::ToUtf8(line).c_str());
      fflush(stdout);
    }
    const LineResult result = RunLine(line);
    status = result.status;
    if (result.exitShell) break;
  }
  free(input);
  return status;
}

}  // namespace

}  // namespace qshell

int main(int argc, char** argv) {
  using namespace qshell;
  setlocale(LC_ALL, "");  // readline edits multibyte text by the user's locale

  const int early = ReadOptions(argc, argv);
  if (early >= 0) return early;

  Options.interactive = isatty(STDIN_FILENO) != 0;
  if (!Options.registryFile.empty() && MakeParentFolders(Options.registryFile)) {
    standin::UseRegistryFile(Options.registryFile);
  }
  standin::SetEcho(true);

  LoadPlugin();
  const int status = Options.interactive ? RunInteractive() : RunTranscript();
  UnloadPlugin();
  return status;
}
