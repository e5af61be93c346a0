// Running the lines that Enter lets through: the built-ins, /bin/sh for everything else, and
// the history that every run line joins, as the shell keeps it.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/utf.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "shell.h"
#include "shell/standin_shell.h"
#include "text/text.h"

namespace qshell {

namespace {

// Exit statuses of a line /bin/sh could not be started for, as a POSIX shell reports them: not
// found, or found and not run (a command line beyond the system's limit for one argument).
constexpr int kCannotRun = 127;
constexpr int kCannotExecute = 126;

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

std::u16string Trimmed(const std::u16string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// A line's command word and what follows it. The word ends at a blank or at a '/', since the
// shell lets a switch follow its command directly (quorv/?).
struct CommandWord {
  std::u16string word;
  std::u16string rest;  // after the word, leading blanks removed
};

CommandWord SplitCommand(const std::u16string& line) {
  size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  size_t end = start;
  while (end < line.size() && !IsBlank(line[end]) && line[end] != u'/') ++end;
  size_t rest = end;
  while (rest < line.size() && IsBlank(line[rest])) ++rest;
  return {line.substr(start, end - start), line.substr(rest)};
}

bool IsCommand(const std::u16string& word, const char16_t* name) {
  return text::EqualsIgnoreAsciiCase(word.c_str(), name);
}

// The shell hands the command its argument text in a buffer the command may write to.
int RunQuorv(const std::u16string& arguments) {
  std::vector<char16_t> buffer(arguments.begin(), arguments.end());
  buffer.push_back(0);
  return quorv(buffer.data());
}

// Entries numbered as the plugin counts them, so the numbers shown are the ones !n takes.
int ListHistory() {
  uint32_t number = PluginSettings.countingBase;
  for (const std::u16string& entry : standin::HistoryEntries()) {
    printf("%5u  %s\n", number++, standin::ToUtf8(entry).c_str());
  }
  fflush(stdout);
  return 0;
}

// `cd` must be the program's own: /bin/sh would change only its own directory. The directory
// matters to the plugin too, since `quorv /W` resolves a relative name against it.
int ChangeDirectory(const std::u16string& argument) {
  std::string target = standin::ToUtf8(Trimmed(argument));
  if (target.empty()) {
    const char* home = getenv("HOME");
    if (home == nullptr || home[0] == 0) {
      fprintf(stderr, "cd: HOME is not set\n");
      return 1;
    }
    target = home;
  }
  if (chdir(target.c_str()) != 0) {
    fprintf(stderr, "cd: %s: %s\n", target.c_str(), strerror(errno));
    return 1;
  }
  return 0;
}

// `set NAME=VALUE` gives a shell variable the plugin reads (through ExpandVariables) a value;
// `set NAME=` removes it. The value is taken as typed, blanks included.
int SetVariable(const std::u16string& argument) {
  const size_t equals = argument.find(u'=');
  const std::u16string name =
      Trimmed(argument.substr(0, equals == std::u16string::npos ? 0 : equals));
  if (name.empty()) {
    fprintf(stderr, "set: NAME=VALUE is expected\n");
    return 2;
  }
  const std::u16string value = argument.substr(equals + 1);
  if (value.empty()) {
    standin::RemoveVariable(name);
  } else {
    standin::SetVariable(name, value);
  }
  return 0;
}

// `exit [N]`: N is the program's exit status (0 to 255), 0 when absent.
LineResult Exit(const std::u16string& argument) {
  const std::string number = standin::ToUtf8(Trimmed(argument));
  if (number.empty()) return {0, true};
  char* end = nullptr;
  errno = 0;
  const long value = strtol(number.c_str(), &end, 10);
  if (errno != 0 || end == number.c_str() || *end != 0 || value < 0 || value > 255) {
    fprintf(stderr, "exit: %s: a number from 0 to 255 is expected\n", number.c_str());
    return {2, false};
  }
  return {static_cast<int>(value), true};
}

// Runs `command` with /bin/sh -c and waits for it. A piped transcript holds typed lines, not
// data, so there the command reads from /dev/null instead of eating the lines that follow.
int RunShellCommand(const std::string& command) {
  fflush(stdout);
  fflush(stderr);

  // Ctrl-C belongs to the command while it runs; the program itself goes on.
  struct sigaction ignore = {};
  struct sigaction savedInt = {};
  struct sigaction savedQuit = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGINT, &ignore, &savedInt);
  sigaction(SIGQUIT, &ignore, &savedQuit);

  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGINT, SIG_DFL);
    signal(SIGQUIT, SIG_DFL);
    if (!Options.interactive) {
      const int null = open("/dev/null", O_RDONLY);
      if (null >= 0) {
        dup2(null, STDIN_FILENO);
        close(null);
      }
    }
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    const int failure = errno;
    fprintf(stderr, "quorvin-shell: /bin/sh: %s\n", strerror(failure));
    _exit(failure == ENOENT ? kCannotRun : kCannotExecute);
  }

  int result = kCannotRun;
  if (pid < 0) {
    fprintf(stderr, "quorvin-shell: cannot start /bin/sh: %s\n", strerror(errno));
  } else {
    int status = 0;
    pid_t waited;
    do {
      waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == pid) {
      if (WIFEXITED(status)) result = WEXITSTATUS(status);
      if (WIFSIGNALED(status)) result = 128 + WTERMSIG(status);
    }
  }

  sigaction(SIGINT, &savedInt, nullptr);
  sigaction(SIGQUIT, &savedQuit, nullptr);
  return result;
}

}  // namespace

LineResult RunLine(const std::u16string& line) {
  if (Trimmed(line).empty()) return {0, false};
  standin::AddHistory(line);

  const CommandWord command = SplitCommand(line);
  if (IsCommand(command.word, u"quorv")) return {RunQuorv(command.rest), false};
  if (IsCommand(command.word, u"history")) {
    if (!Trimmed(command.rest).empty()) {
      fprintf(stderr, "history: takes no arguments\n");
      return {2, false};
    }
    return {ListHistory(), false};
  }
  if (IsCommand(command.word, u"cd")) return {ChangeDirectory(command.rest), false};
  if (IsCommand(command.word, u"set")) return {SetVariable(command.rest), false};
  if (IsCommand(command.word, u"exit")) return Exit(command.rest);

  const std::string bytes = standin::ToUtf8(line);
  if (Options.dryRun) {
    printf("%s\n", bytes.c_str());
    fflush(stdout);
    return {0, false};
  }
  return {RunShellCommand(bytes), false};
}

}  // namespace qshell
