// Differential test against bash's own history expansion. Random histories and references,
// drawn where Quorvin and bash agree by design, are expanded by bash (`history -p`) and by the
// plugin's keystroke handler, and the two lines must be the same. The run is fixed by a seed
// that is printed, so that a failure can be replayed:
//   QUORVIN_ORACLE_SEED   the seed (default 20240611)
//   QUORVIN_ORACLE_CASES  the number of references (default 12000)
//
// The subset: counting base 1, case-sensitive searches, no white space after the bang, the
// whole line one reference with up to three :s modifiers, no '&', '!', backslash or quotation
// marks in any text; the references !!, !n, !-n within the list (and !n past its end, where
// both fail), !word with a word of letters, !?word at the end of the line. Old texts are
// drawn from the entry recalled or made up, so that many of them do not occur: then both
// refuse the line. One intended difference is drawn on purpose and checked as such: !-n
// beyond the list gives the oldest entry here and fails in bash.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/utf.h"
#include "fixture.h"

namespace {

constexpr uint64_t kDefaultSeed = 20240611;
constexpr int kDefaultCases = 12000;
constexpr int kCasesPerHistory = 60;
constexpr size_t kMaxScriptBytes = 120000;  // below the kernel's limit for one argument

// Units that may stand in an entry or a modifier text: none of them is special to bash's
// history expansion or to its single quotes.
constexpr char kTextUnits[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
    " .-_/:=,+%@#~^*()[]{};<>|?$";
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr char kDelimiters[] = "/|,#%+@~^=;:.";
constexpr const char* kCommands[] = {"cd",   "cdrom", "cat",  "cp",   "copy", "dir",  "del",
                                     "echo", "git",   "grep", "ls",   "make", "move", "md",
                                     "type", "set",   "Cd",   "Echo", "x",    "xcopy"};

// A deterministic generator: the same seed gives the same cases on every machine.
struct Random {
  uint64_t state;  // advanced by every draw
  uint64_t Next() {
    state += 0x9E3779B97F4A7C15ull;  // splitmix64
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(Next() % n); }
  bool Chance(int percent) { return Below(100) < static_cast<size_t>(percent); }
  char From(const char* set) { return set[Below(std::char_traits<char>::length(set))]; }
};

std::string RandomText(Random* r, size_t length, const char* set, char except = 0) {
  std::string s;
  while (s.size() < length) {
    char c = r->From(set);
    if (c != except) s.push_back(c);
  }
  return s;
}

std::string RandomEntry(Random* r) {
  std::string e;
  if (r->Chance(3)) e = std::string(1 + r->Below(2), ' ');
  e += kCommands[r->Below(sizeof kCommands / sizeof kCommands[0])];
  const size_t args = r->Below(6);
  for (size_t i = 0; i < args; ++i) {
    e += r->Chance(10) ? "  " : " ";
    e += RandomText(r, 1 + r->Below(10), kTextUnits);
  }
  if (r->Chance(1)) e += RandomText(r, 1000 + r->Below(500), kTextUnits);
  if (r->Chance(3)) e += " ";
  return e;
}

// One reference to expand, and what to expect of it.
struct Case {
  std::string line;  // the whole line, beginning with '!'
  bool beyondList;   // !-n with n above the number of entries
};

// The entry `line`'s reference names in `history` (oldest first), or -1. Used only to pick
// modifier texts that occur; the comparison itself never relies on it.
int Target(const std::vector<std::string>& history, const std::string& form, size_t n,
           const std::string& word) {
  const int count = static_cast<int>(history.size());
  if (form == "!!") return count - 1;
  if (form == "n") return n >= 1 && n <= history.size() ? static_cast<int>(n) - 1 : -1;
  if (form == "-n") return n <= history.size() ? count - static_cast<int>(n) : -1;
  for (int i = count - 1; i >= 0; --i) {
    if (history[i].compare(0, word.size(), word) == 0) return i;
  }
  return -1;
}

Case RandomCase(Random* r, const std::vector<std::string>& history) {
  Case c{"", false};
  const size_t count = history.size();
  const size_t pick = r->Below(100);
  std::string form;
  size_t n = 0;
  std::string word;
  if (pick < 15 || count == 0) {
    form = "!!";
    c.line = "!!";
  } else if (pick < 38) {
    form = "n";
    n = r->Chance(8) ? (r->Chance(30) ? 0 : count + 1 + r->Below(3)) : 1 + r->Below(count);
    c.line = "!" + std::to_string(n);
  } else if (pick < 60) {
    form = "-n";
    c.beyondList = r->Chance(4);
    n = c.beyondList ? count + 1 + r->Below(5) : 1 + r->Below(count);
    c.line = "!-" + std::to_string(n);
  } else if (pick < 82) {
    form = "word";
    const std::string& e = history[r->Below(count)];
    size_t letters = 0;
    while (letters < e.size() && std::isalpha(static_cast<unsigned char>(e[letters]))) ++letters;
    word = letters > 0 && r->Chance(85) ? e.substr(0, 1 + r->Below(letters))
                                        : RandomText(r, 1 + r->Below(3), kLetters);
    c.line = "!" + word;
  } else {
    // !?word: letters from inside an entry, or made up; nothing may follow it.
    const std::string& e = history[r->Below(count)];
    std::vector<size_t> starts;
    for (size_t i = 0; i < e.size(); ++i) {
      if (std::isalpha(static_cast<unsigned char>(e[i]))) starts.push_back(i);
    }
    if (!starts.empty() && r->Chance(85)) {
      size_t at = starts[r->Below(starts.size())];
      size_t end = at;
      while (end < e.size() && std::isalpha(static_cast<unsigned char>(e[end]))) ++end;
      word = e.substr(at, 1 + r->Below(end - at));
    } else {
      word = RandomText(r, 1 + r->Below(4), kLetters);
    }
    c.line = "!?" + word;
    return c;
  }

  if (c.beyondList || !r->Chance(45)) return c;
  // Up to three modifiers; all but the last closed, so that nothing follows an open text.
  const int target = Target(history, form, n, word);
  const size_t modifiers = 1 + r->Below(3);
  for (size_t m = 0; m < modifiers; ++m) {
    const char d = r->From(kDelimiters);
    std::string oldText;
    if (target >= 0 && r->Chance(80)) {
      const std::string& e = history[target];
      for (int attempt = 0; attempt < 8 && oldText.empty(); ++attempt) {
        const size_t at = r->Below(e.size());
        std::string piece = e.substr(at, 1 + r->Below(8));
        if (piece.find(d) == std::string::npos) oldText = piece;
      }
    }
    if (oldText.empty()) oldText = RandomText(r, 1 + r->Below(4), kTextUnits, d);
    const std::string newText = RandomText(r, r->Below(9), kTextUnits, d);
    c.line += std::string(":s") + d + oldText + d + newText;
    if (m + 1 < modifiers || r->Chance(70)) c.line += d;
  }
  return c;
}

// Quotes a text for bash: none of the texts holds a single quotation mark.
std::string Quoted(const std::string& s) {
  return "'" + s + "'";
}

// Runs `script` with `bash -c` in a clean environment; its standard output.
std::string RunBash(const std::string& script) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string bash = "bash";
  std::string dashC = "-c";
  std::string body = script;
  char* argv[] = {bash.data(), dashC.data(), body.data(), nullptr};
  std::string path = "PATH=/usr/bin:/bin";
  std::string locale = "LC_ALL=C";
  char* env[] = {path.data(), locale.data(), nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "bash", &actions, nullptr, argv, env);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  std::string out;
  char chunk[65536];
  for (ssize_t got; (got = read(pipeFds[0], chunk, sizeof chunk)) > 0;) out.append(chunk, got);
  close(pipeFds[0]);
  if (spawned == 0) waitpid(pid, nullptr, 0);
  return out;
}

// bash's answer for one line: whether it expanded it, and to what.
struct BashResult {
  bool expanded;
  std::string line;
};

// Expands every line in one bash process over `history`; after each `history -p` the script
// prints a record separator and the status, so failures and empty results stay apart.
std::vector<BashResult> BashExpand(const std::vector<std::string>& history,
                                   const std::vector<std::string>& lines) {
  std::string script = "unset HISTFILE; set -o history -o histexpand; history -c\n";
  for (const std::string& e : history) script += "history -s -- " + Quoted(e) + "\n";
  for (const std::string& l : lines) {
    script += "history -p -- " + Quoted(l) + "; printf '\\036%d\\n' $?\n";
  }
  EXPECT_LT(script.size(), kMaxScriptBytes);
  const std::string out = RunBash(script);

  std::vector<BashResult> results;
  size_t at = 0;
  while (results.size() < lines.size()) {
    const size_t mark = out.find('\036', at);
    const size_t newline = mark == std::string::npos ? mark : out.find('\n', mark);
    if (newline == std::string::npos) break;
    std::string text = out.substr(at, mark - at);
    const bool expanded = out.compare(mark + 1, newline - mark - 1, "0") == 0;
    if (expanded && !text.empty() && text.back() == '\n') text.pop_back();
    results.push_back({expanded, text});
    at = newline + 1;
  }
  EXPECT_EQ(results.size(), lines.size()) << "bash's output could not be read:\n" << out;
  results.resize(lines.size(), BashResult{false, "<no answer>"});
  return results;
}

// The plugin's answer for one line, through the exported keystroke handler and Enter.
BashResult PluginExpand(const std::string& line) {
  KeyResult r = PressKey(standin::FromUtf8(line));
  if (r.redraw == 0) return {false, ""};
  return {true, standin::ToUtf8(r.line)};
}

std::string Describe(const BashResult& r) {
  return r.expanded ? "'" + r.line + "'" : "<failed>";
}

class BashOracle : public PluginTest {};

TEST_F(BashOracle, AgreesWithBashHistoryExpansion) {
  const char* seedText = std::getenv("QUORVIN_ORACLE_SEED");
  const char* casesText = std::getenv("QUORVIN_ORACLE_CASES");
  const uint64_t seed = seedText != nullptr ? std::strtoull(seedText, nullptr, 10) : kDefaultSeed;
  const int cases = casesText != nullptr ? std::atoi(casesText) : kDefaultCases;
  printf(
      "bash oracle: seed %llu, %d cases (QUORVIN_ORACLE_SEED and QUORVIN_ORACLE_CASES "
      "replay or vary the run)\n",
      static_cast<unsigned long long>(seed), cases);
  Random r{seed};

  PluginSettings.countingBase = 1;
  PluginSettings.caseInsensitive = 0;
  PluginSettings.executeOnFailure = 1;
  PluginSettings.errorBeepMode = BeepNone;

  int bothExpanded = 0, bothFailed = 0, intended = 0, done = 0;
  for (int batch = 0; done < cases; ++batch) {
    const size_t sizes = r.Below(100);
    const size_t count = sizes < 3    ? 0
                         : sizes < 35 ? 1 + r.Below(10)
                         : sizes < 85 ? 11 + r.Below(50)
                                      : 61 + r.Below(140);
    std::vector<std::string> history;
    for (size_t i = 0; i < count; ++i) history.push_back(RandomEntry(&r));
    PluginSettings.allowWhitespace = r.Chance(50) ? 1 : 0;

    std::vector<Case> batchCases;
    std::vector<std::string> lines = {"!1"};  // the oldest entry, for !-n beyond the list
    for (int i = 0; i < kCasesPerHistory && done + i < cases; ++i) {
      batchCases.push_back(RandomCase(&r, history));
      lines.push_back(batchCases.back().line);
    }
    const std::vector<BashResult> bash = BashExpand(history, lines);

    std::vector<std::u16string> entries;
    for (const std::string& e : history) entries.push_back(standin::FromUtf8(e));
    standin::SetHistory(entries);

    size_t answer = 1;
    for (const Case& c : batchCases) {
      const BashResult& b = bash[answer++];
      const BashResult p = PluginExpand(c.line);
      ++done;
      if (b.expanded == p.expanded && b.line == p.line) {
        ++(b.expanded ? bothExpanded : bothFailed);
        continue;
      }
      // The intended difference: bash fails where the plugin clamps to the oldest entry.
      const bool clamped =
          c.beyondList && !b.expanded && p.expanded && bash[0].expanded && p.line == bash[0].line;
      if (clamped) {
        ++intended;
        continue;
      }
      std::string replay = "bash -c 'set -o history -o histexpand; history -c\n";
      for (const std::string& e : history) replay += "history -s -- '\\''" + e + "'\\''\n";
      replay += "history -p -- '\\''" + c.line + "'\\'''";
      ADD_FAILURE() << "seed " << seed << ", history " << batch << " (" << history.size()
                    << " entries, allow whitespace " << PluginSettings.allowWhitespace << "), line "
                    << c.line << "\n  bash:   " << Describe(b) << "\n  plugin: " << Describe(p)
                    << "\n  replay: " << replay;
    }
  }
  printf("bash oracle: %d cases: %d expanded alike, %d failed alike, %d intended differences\n",
         done, bothExpanded, bothFailed, intended);
  EXPECT_GE(bothExpanded + bothFailed, 10000 * cases / kDefaultCases);
}

}  // namespace
