// Differential tests against bash's own history expansion: random histories and lines are
// expanded by bash (`history -p`) and by the plugin, for the default rules, for bash mode, and
// for bash mode character by character, where every line drawn is judged under the rules of the
// deliberate differences. Each run is fixed by a seed that is printed, so that a failure can be
// replayed:
//   QUORVIN_ORACLE_SEED        the seed (default 20240611)
//   QUORVIN_ORACLE_CASES       the number of lines of the first two (default 12000)
//   QUORVIN_ORACLE_CHAR_CASES  the number of lines of the third (default 5000)
//
// The default rules' subset: counting base 1, case-sensitive searches, no white space after the
// bang, the whole line one reference with up to three :s modifiers, no '&', '!', backslash or
// quotation marks in any text; the references !!, !n, !-n within the list (and !n past its end,
// where both fail), !word with a word of letters, !?word at the end of the line. Old texts are
// drawn from the entry recalled or made up, so that many of them do not occur: then both
// refuse the line. One intended difference is drawn on purpose and checked as such: !-n
// beyond the list gives the oldest entry here and fails in bash.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/utf.h"
#include "fixture.h"

namespace {

constexpr uint64_t kDefaultSeed = 20240611;
constexpr int kDefaultCases = 12000;
constexpr int kCasesPerHistory = 60;
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

// The seed of a run: QUORVIN_ORACLE_SEED, else the fixed one.
uint64_t Seed() {
  const char* text = std::getenv("QUORVIN_ORACLE_SEED");
  return text != nullptr ? std::strtoull(text, nullptr, 10) : kDefaultSeed;
}

// The number of cases of a run: the environment `variable`, else `fallback`.
int Cases(const char* variable, int fallback) {
  const char* text = std::getenv(variable);
  return text != nullptr ? std::atoi(text) : fallback;
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

// Quotes a text for a bash script: a single quotation mark inside it as '\''.
std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// bash's answer for one line: whether it expanded it, and to what.
struct BashResult {
  bool expanded;
  std::string line;
  bool timedOut = false;  // bash ran out of its CPU time (it loops forever on some :G lines)
  bool crashed = false;   // bash died of another signal
};

// One line for bash to expand.
struct BashQuery {
  std::string line;
  // First a search for a text that no entry or line holds: a line that reads bash's latest search
  // or substitution (an empty old text falls back on the search) then gives another answer.
  bool primed = false;
};

constexpr int kBashAtOnce = 4;        // bash processes running at the same time
constexpr int kBashCpuSeconds = 1;    // each line's limit: bounds a loop, not a measure of speed
constexpr int kShellCpuSeconds = 60;  // and the shell's, for all it does itself
constexpr size_t kLeastQueriesAtOnce = 16;  // a bash for fewer costs more than it saves
constexpr size_t kMaxScriptBytes = 120000;  // below the kernel's limit for one argument
constexpr char kPrimedEntry[] = "\x13";     // found by the search of a primed bash, then dropped
constexpr char kPrimer[] = "!?\x13?";

// One running bash: its process and the output read so far.
struct BashProcess {
  pid_t pid = -1;    // -1: the slot is free
  int out = -1;      // the read end of its standard output
  size_t first = 0;  // the index of its first query
  size_t count = 0;  // and how many it answers
  std::string text;  // its standard output so far
};

// Starts bash on a script; false when it could not be started.
bool StartBash(const std::string& script, BashProcess* p) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return false;
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
  std::string locale = "LC_ALL=C.UTF-8";
  char* env[] = {path.data(), locale.data(), nullptr};
  const int spawned = posix_spawnp(&p->pid, "bash", &actions, nullptr, argv, env);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    p->pid = -1;
    return false;
  }
  p->out = pipeFds[0];
  p->text.clear();
  return true;
}

// Reads a finished bash's answers, each "output\1status\1", into `results` (the answer to the
// nth command into the result order[n]).
void ReadAnswers(const BashProcess& p, const std::vector<size_t>& order,
                 std::vector<BashResult>* results) {
  size_t at = 0;
  for (size_t i = 0; i < p.count; ++i) {
    const size_t end = p.text.find('\1', at);
    const size_t close = end == std::string::npos ? end : p.text.find('\1', end + 1);
    if (close == std::string::npos) return;  // bash died: the rest stay unanswered
    std::string line = p.text.substr(at, end - at);
    const int status = std::atoi(p.text.substr(end + 1, close - end - 1).c_str());
    at = close + 1;
    BashResult& r = (*results)[order[p.first + i]];
    r.timedOut = status == 128 + SIGXCPU;
    r.crashed = status > 128 && !r.timedOut;
    r.expanded = status == 0;
    if (r.expanded && !line.empty() && line.back() == '\n') line.pop_back();
    r.line = r.expanded ? line : "";
  }
}

// Whether expanding `line` may read what an earlier expansion left (bash's latest search or
// substitution: %, :&, an empty old text or search), or may loop or crash (:G, an empty old
// text with &).
bool NeedsFreshShell(const std::string& line) {
  if (line.find_first_of("%&?") != std::string::npos || line.find(":G") != std::string::npos) {
    return true;
  }
  if (line[0] == '^') return true;
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    if (line[i] == 's' && (i + 2 >= line.size() || line[i + 1] == line[i + 2])) return true;
  }
  return false;
}

// Expands every query over `history` (oldest first), a few bash processes sharing the queries,
// each with a UTF-8 locale. Bash keeps the latest search and substitution from one `history -p`
// to the next, so a line that may read them (NeedsFreshShell) is expanded in a subshell of its
// own, forked from the bash that holds the history before it expands anything, with the history
// options of an interactive shell and a limit on its CPU time; every other line is expanded in
// that bash itself, where what earlier lines left makes no difference to it.
std::vector<BashResult> AskBash(const std::vector<std::string>& history,
                                const std::vector<BashQuery>& queries) {
  // The script's own lines must not join the history: only the subshells turn it on. The
  // shell's own limit on its CPU time ends it, should a line expanded in it loop.
  std::string setup =
      "set -o histexpand; ulimit -t " + std::to_string(kShellCpuSeconds) + "; history -c\n";
  for (const std::string& e : history) setup += "history -s -- " + Quoted(e) + "\n";
  // The lines that need a fresh shell come first, before any expansion in the shell itself.
  std::vector<size_t> order;
  for (size_t i = 0; i < queries.size(); ++i) {
    if (queries[i].primed || NeedsFreshShell(queries[i].line)) order.push_back(i);
  }
  const size_t fresh = order.size();
  for (size_t i = 0; i < queries.size(); ++i) {
    if (!queries[i].primed && !NeedsFreshShell(queries[i].line)) order.push_back(i);
  }
  std::vector<std::string> commands;
  for (size_t i = 0; i < order.size(); ++i) {
    const BashQuery& q = queries[order[i]];
    std::string command = "history -p -- " + Quoted(q.line);
    if (i < fresh) {
      std::string prime;
      if (q.primed) {
        prime = "history -s -- " + Quoted(kPrimedEntry) + "; history -p -- " + Quoted(kPrimer) +
                " >/dev/null; history -d -1; ";
      }
      command = "(set -o history; ulimit -t " + std::to_string(kBashCpuSeconds) + "; " + prime +
                command + ")";
    }
    commands.push_back(command + "; printf '\\1%d\\1' $?\n");
  }

  // The queries in runs of about equal size, one bash each, every script below the limit.
  std::vector<BashProcess> parts;
  const size_t share = std::max(kLeastQueriesAtOnce, commands.size() / kBashAtOnce + 1);
  for (size_t i = 0; i < commands.size();) {
    BashProcess part;
    part.first = i;
    part.text = setup;
    for (; i < commands.size(); ++i) {
      const size_t grown = part.text.size() + commands[i].size();
      if (part.count > 0 && (part.count == share || grown > kMaxScriptBytes)) break;
      part.text += commands[i];
      ++part.count;
    }
    EXPECT_LT(part.text.size(), kMaxScriptBytes);
    parts.push_back(part);
  }

  std::vector<BashResult> results(queries.size(), BashResult{false, "<no answer>"});
  std::vector<BashProcess*> running;
  for (size_t next = 0; next < parts.size() || !running.empty();) {
    while (running.size() < kBashAtOnce && next < parts.size()) {
      BashProcess& p = parts[next++];
      const std::string script = p.text;
      EXPECT_TRUE(StartBash(script, &p)) << "bash could not be started";
      if (p.pid != -1) running.push_back(&p);
    }
    if (running.empty()) continue;
    std::vector<pollfd> fds;
    for (BashProcess* p : running) fds.push_back({p->out, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    for (size_t i = fds.size(); i-- > 0;) {
      BashProcess& p = *running[i];
      if (fds[i].revents == 0) continue;
      char chunk[65536];
      const ssize_t got = read(p.out, chunk, sizeof chunk);
      if (got > 0) {
        p.text.append(chunk, static_cast<size_t>(got));
        continue;
      }
      close(p.out);
      int status = 0;
      waitpid(p.pid, &status, 0);
      ReadAnswers(p, order, &results);
      running.erase(running.begin() + static_cast<long>(i));
    }
  }
  for (const BashResult& r : results) EXPECT_NE(r.line, "<no answer>") << "bash gave no answer";
  return results;
}

// Expands every line over `history` in a fresh bash.
std::vector<BashResult> BashExpand(const std::vector<std::string>& history,
                                   const std::vector<std::string>& lines) {
  std::vector<BashQuery> queries;
  for (const std::string& line : lines) queries.push_back({line});
  return AskBash(history, queries);
}

// The plugin's answer for one line, through the exported keystroke handler and Enter.
BashResult PluginExpand(const std::string& line) {
  KeyResult r = PressKey(standin::FromUtf8(line));
  if (r.redraw == 0) return {false, ""};
  return {true, standin::ToUtf8(r.line)};
}

std::string Describe(const BashResult& r) {
  if (r.timedOut || r.crashed) return r.timedOut ? "<timed out>" : "<crashed>";
  if (!r.expanded) return "<failed>";
  std::string shown = "'";
  for (char u : r.line) {  // the judge's control units readable
    char hex[8];
    snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(u));
    shown +=
        static_cast<unsigned char>(u) < 0x20 && u != '\t' ? std::string(hex) : std::string(1, u);
  }
  return shown + "'";
}

class BashOracle : public PluginTest {};

TEST_F(BashOracle, AgreesWithBashHistoryExpansion) {
  const uint64_t seed = Seed();
  const int cases = Cases("QUORVIN_ORACLE_CASES", kDefaultCases);
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

// ==== Bash mode ====
// The same comparison for the whole line by bash's rules (ExpandLine): random histories whose
// entries hold operators, redirections, groups and comments, and random lines that mix plain
// words and comments with several references of the whole grammar (events, designators,
// modifiers with any delimiter, !#, a quick substitution at the start). Counting base 1 and
// case-sensitive searches. Left out, where Quorvin differs by design: quotes, the escape
// character '^' outside references, backslashes, hexadecimal and '+' forms, !-n beyond the
// list, '$' or '{' just before a '!' (bash's $! and ${!name}), :q or :x before a later !#
// (bash splits their single quotes as quotes), :G beyond a two-letter old text (see
// RandomModifier), a '&' in the new text of the :s modifiers that lead the first reference of a
// line that begins with '!' (an ordinary character there, as the default rules read it: the
// README's "default rules first"); and :&, an empty old text, % and an empty !?
// search come only after a substitution or search earlier in the same line (bash keeps those
// from line to line).
// Both must give the same line or both refuse it. The same seed and case variables as above.

constexpr int kBashModeLinesPerHistory = 100;

// Plain text of entries and lines: nothing special to either shell's quoting.
constexpr char kPlainUnits[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._/-,+=@~%";
constexpr const char* kOperators[] = {";",  "&&",  "||", "|",  "&",  ">", ">>", "<",   "2>&1",
                                      "2>", "<<<", ">|", "&>", ";;", "(", ")",  "<&-", "1>&2"};
constexpr const char* kGroups[] = {"$(ls a)", "<(cat x y)", "$((1 + 2))", "@(a|b)", "$(x $(y) z)"};
constexpr char kSubstitutionDelimiters[] = "/|,#%+@~^=;:.x -&?*$";

std::string BashModeEntry(Random* r) {
  std::string e = kCommands[r->Below(sizeof kCommands / sizeof kCommands[0])];
  const size_t words = r->Below(7);
  for (size_t i = 0; i < words; ++i) {
    const bool glued = r->Chance(12);
    if (!glued) e += r->Chance(8) ? "  " : " ";
    const size_t kind = r->Below(100);
    if (kind < 14) {
      e += kOperators[r->Below(sizeof kOperators / sizeof kOperators[0])];
    } else if (kind < 18) {
      e += kGroups[r->Below(sizeof kGroups / sizeof kGroups[0])];
    } else if (kind < 20 && !glued) {
      e += "#" + RandomText(r, r->Below(4), kPlainUnits);
    } else if (kind < 22) {
      e += RandomText(r, 1 + r->Below(3), kLetters) + "!" + RandomText(r, r->Below(3), kLetters);
    } else if (kind < 45) {
      e += RandomText(r, 1 + r->Below(3), kLetters) + "/" +
           RandomText(r, 1 + r->Below(4), kLetters) +
           (r->Chance(60) ? "." + RandomText(r, 1 + r->Below(3), kLetters) : "");
    } else {
      e += RandomText(r, 1 + r->Below(8), kPlainUnits);
    }
  }
  return e;
}

// A piece of some entry of `history`, to search for or replace (it may hold blanks).
std::string PieceOf(Random* r, const std::vector<std::string>& history, size_t longest,
                    char except = 0) {
  for (int attempt = 0; attempt < 6 && !history.empty(); ++attempt) {
    const std::string& e =
        history[history.size() - 1 - r->Below(std::min<size_t>(history.size(), 4))];
    if (e.empty()) continue;
    const size_t at = r->Below(e.size());
    const std::string piece = e.substr(at, 1 + r->Below(longest));
    if (except == 0 || piece.find(except) == std::string::npos) return piece;
  }
  return RandomText(r, 1 + r->Below(3), kLetters, except);
}

// What earlier references of a line left for later ones.
struct LineState {
  bool substituted;  // a substitution was read: :& and an empty old text have their text
  bool searched;     // a !?string search was made: % and an empty search have their text
  bool wordSafe;     // the latest substitution may be repeated with :G& (see RandomModifier)
  bool quoted;       // a :q or :x was drawn: bash splits the line so far at its single quotes
};

std::string RandomDesignator(Random* r, const LineState& s) {
  static const char* const kForms[] = {"0",   "1",   "2",   "3",  "^",  "$",  "*",
                                       "1-2", "0-1", "2-$", "-2", "1-", "2-", "-",
                                       "1*",  "2*",  "0*",  "^-", "-$", "3-4"};
  if (s.searched && r->Chance(8)) return r->Chance(50) ? ":%" : "%";
  std::string form = kForms[r->Below(sizeof kForms / sizeof kForms[0])];
  const bool bare = form[0] == '^' || form[0] == '$' || form[0] == '*' || form[0] == '-';
  return bare && r->Chance(50) ? form : ":" + form;
}

// One modifier; `eachWord` says that a G came before in the same reference, which bash applies
// to every later s and & of it. Only the last modifier of a line (`last`) may leave its
// closing delimiter out: elsewhere its new text would run on over the rest of the line. An :s
// that leads the chain of a line's first reference (`leading`) holds no '&' in its new text.
std::string RandomModifier(Random* r, const std::vector<std::string>& history, LineState* s,
                           bool* eachWord, bool last, bool leading = false) {
  const size_t kind = r->Below(100);
  if (kind < 6) return ":h";
  if (kind < 12) return ":t";
  if (kind < 18) return ":r";
  if (kind < 24) return ":e";
  if (kind < 28) return ":p";
  if (kind < 34) s->quoted = true;
  if (kind < 31) return ":q";
  if (kind < 34) return ":x";
  if (kind < 42 && s->substituted && (s->wordSafe || !*eachWord)) {
    const char* prefixes[] = {"", "g", "a", "G"};
    const char* prefix = prefixes[r->Below(s->wordSafe ? 4 : 3)];
    if (prefix[0] == 'G') *eachWord = true;
    return std::string(":") + prefix + "&";
  }
  const char d = r->From(kSubstitutionDelimiters);
  std::string prefix = r->Chance(70) ? "" : (r->Chance(50) ? "g" : "a");
  std::string oldText = s->substituted && r->Chance(10) ? "" : PieceOf(r, history, 4, d);
  std::string newText = RandomText(r, r->Below(5), kPlainUnits, d);
  if (d != '&' && r->Chance(15) && !(leading && prefix.empty())) {
    newText.insert(r->Below(newText.size() + 1), "&");
  }
  if (*eachWord || r->Chance(12)) {
    // :G only where bash keeps its word windows right: an old text of two letters, inside
    // one word, replaced by a text of the same length. (Bash moves its windows after a change
    // of length, allows a blank after some words only, and replaces twice in a first word that
    // begins with the old text; Quorvin replaces once inside each word.)
    prefix = "G";
    oldText = RandomText(r, 2, kLetters, d);
    newText = RandomText(r, oldText.size(), "XYZ019", d);
  }
  s->wordSafe = prefix == "G" || *eachWord;
  *eachWord = s->wordSafe;
  s->substituted = true;
  const bool open = last && prefix != "G" && r->Chance(30);
  return ":" + prefix + "s" + d + oldText + d + newText + (open ? "" : std::string(1, d));
}

std::string RandomReference(Random* r, const std::vector<std::string>& history, LineState* s,
                            bool last, bool atStart) {
  const size_t count = history.size();
  const size_t kind = r->Below(100);
  std::string ref;
  bool mayBeBare = false;  // a designator of ^ $ * - may follow without ':'
  if (kind < 18 || count == 0) {
    ref = "!!";
    mayBeBare = true;
  } else if (kind < 30) {
    ref = "!" + std::to_string(r->Chance(5) ? count + 1 : 1 + r->Below(count));
  } else if (kind < 42) {
    ref = "!-" + std::to_string(1 + r->Below(count));
  } else if (kind < 56) {
    const std::string& e = history[r->Below(count)];
    size_t letters = 0;
    while (letters < e.size() && std::isalpha(static_cast<unsigned char>(e[letters]))) ++letters;
    ref = "!" + (letters > 0 && r->Chance(85) ? e.substr(0, 1 + r->Below(letters))
                                              : RandomText(r, 1 + r->Below(3), kLetters));
  } else if (kind < 70) {
    std::string word = s->searched && r->Chance(10) ? "" : PieceOf(r, history, 5, '?');
    s->searched = true;
    const bool open = last && r->Chance(30);
    return "!?" + word + (open ? "" : "?") +
           (open ? "" : (r->Chance(40) ? RandomDesignator(r, *s) : ""));
  } else if (kind < 78) {
    ref = s->quoted ? "!!" : "!#";
  } else {
    static const char* const kBare[] = {"!$", "!^", "!*", "!:1", "!:0", "!:2-3", "!-"};
    return kBare[r->Below(sizeof kBare / sizeof kBare[0] - (r->Chance(90) ? 1 : 0))];
  }
  bool leading = atStart;  // the :s modifiers that lead the chain read '&' as the default rules
  if (r->Chance(45)) {
    std::string d = RandomDesignator(r, *s);
    if (!mayBeBare && d[0] != ':' && r->Chance(50)) d = ":" + d;
    ref += d;
    leading = false;
  }
  const size_t modifiers = r->Chance(50) ? 0 : 1 + r->Below(3);
  bool eachWord = false;
  for (size_t i = 0; i < modifiers; ++i) {
    const std::string m =
        RandomModifier(r, history, s, &eachWord, last && i + 1 == modifiers, leading);
    leading = leading && m.compare(0, 2, ":s") == 0;
    ref += m;
  }
  return ref;
}

std::string RandomBashModeLine(Random* r, const std::vector<std::string>& history) {
  LineState s{false, false, false, false};
  std::string line;
  if (r->Chance(12)) {
    const char d = '^';
    line = std::string(1, d) + PieceOf(r, history, 4, d) + d +
           RandomText(r, r->Below(4), kPlainUnits, d);
    s.substituted = true;
    if (r->Chance(10)) return line;  // its new text runs to the end of the line
    line += "^";
    bool eachWord = false;
    if (r->Chance(30)) line += RandomModifier(r, history, &s, &eachWord, false);
  }
  const size_t parts = 1 + r->Below(4);
  for (size_t i = 0; i < parts; ++i) {
    if (!line.empty() && (r->Chance(85) || line.back() == '$' || line.back() == '{')) line += " ";
    if (r->Chance(35)) {
      // Text glued to a reference begins with a letter, so that it does not lengthen a number
      // or make a % designator.
      line += r->From(kLetters) + RandomText(r, r->Below(6), kPlainUnits);
      if (r->Chance(4)) line += " #" + RandomText(r, r->Below(4), kPlainUnits);  // a comment
    } else {
      line += RandomReference(r, history, &s, i + 1 == parts, line.empty());
    }
  }
  return line;
}

BashResult BashModeExpand(const std::string& line) {
  LineExpansion x = ExpandLine(kBashDialect, standin::FromUtf8(line).c_str());
  BashResult r{x.outcome != kLineFailed, line};
  if (x.outcome == kLineExpanded) r.line = standin::ToUtf8(x.text);
  ReleaseExpansion(&x);
  return r;
}

TEST_F(BashOracle, BashModeAgreesWithBash) {
  const uint64_t seed = Seed();
  const int cases = Cases("QUORVIN_ORACLE_CASES", kDefaultCases);
  printf("bash mode oracle: seed %llu, %d lines\n", static_cast<unsigned long long>(seed), cases);
  Random r{seed};
  PluginSettings.countingBase = 1;
  PluginSettings.caseInsensitive = 0;

  int bothExpanded = 0, bothFailed = 0, done = 0, failures = 0;
  for (int batch = 0; done < cases; ++batch) {
    const size_t count = r.Chance(3) ? 0 : 1 + r.Below(r.Chance(70) ? 12 : 80);
    std::vector<std::string> history;
    for (size_t i = 0; i < count; ++i) history.push_back(BashModeEntry(&r));
    std::vector<std::string> lines;
    for (int i = 0; i < kBashModeLinesPerHistory && done + i < cases; ++i) {
      lines.push_back(RandomBashModeLine(&r, history));
    }
    const std::vector<BashResult> bash = BashExpand(history, lines);
    std::vector<std::u16string> entries;
    for (const std::string& e : history) entries.push_back(standin::FromUtf8(e));
    standin::SetHistory(entries);

    for (size_t i = 0; i < lines.size(); ++i, ++done) {
      const BashResult& b = bash[i];
      const BashResult p = BashModeExpand(lines[i]);
      if (b.expanded == p.expanded && (!b.expanded || b.line == p.line)) {
        ++(b.expanded ? bothExpanded : bothFailed);
        continue;
      }
      if (++failures > 20) continue;
      std::string replay = "bash -c 'set -o history -o histexpand; history -c\n";
      for (const std::string& e : history) replay += "history -s -- '\\''" + e + "'\\''\n";
      replay += "history -p -- '\\''" + lines[i] + "'\\'''";
      ADD_FAILURE() << "seed " << seed << ", history " << batch << ", line " << lines[i]
                    << "\n  bash:   " << Describe(b) << "\n  plugin: " << Describe(p)
                    << "\n  replay: " << replay;
    }
  }
  printf("bash mode oracle: %d lines: %d expanded alike, %d failed alike, %d differ\n", done,
         bothExpanded, bothFailed, failures);
  EXPECT_EQ(failures, 0);
  EXPECT_GE(bothExpanded, cases / 3);
}

// ==== Bash mode, character by character ====
// Lines and entries built from single units and short fragments of bash's grammar, so that every
// unit the grammar gives a meaning to stands in every position: a reference's event, designator
// or modifier, a delimiter, a search text, plain text between references. The lines go through
// the keystroke handler with bash mode on, /Z1 and /I0, and every one is judged: by bash's
// answer, under the rule of each deliberate difference of the README that the line has (see
// "What Quorvin must give" below). A line no rule can judge is counted, and fewer than 1% may be.

constexpr int kDefaultCharCases = 5000;
constexpr int kCharLinesPerHistory = 25;

// The units and fragments of a line, each drawn with the same chance: '!' and references come
// often, so that most lines hold one.
constexpr const char* kLinePieces[] = {
    "!",
    "!",
    "!",
    "!",
    "!",
    "!",
    "^",
    "$",
    "*",
    "-",
    ":",
    ":",
    "?",
    "%",
    "&",
    "/",
    "[",
    "]",
    "{",
    "}",
    "(",
    ")",
    "<",
    ">",
    "|",
    ";",
    "#",
    "=",
    ",",
    ".",
    "~",
    "@",
    " ",
    " ",
    " ",
    " ",
    "\t",
    "0",
    "1",
    "2",
    "3",
    "9",
    ":36",
    "h",
    "t",
    "r",
    "e",
    "p",
    "q",
    "x",
    "s",
    "g",
    "a",
    "G",
    "b",
    "c",
    "d",
    "o",
    "y",
    "\u00e9",
    "\u00df",
    "\u00b2",
    "\U0001F600",
    "\U0001D4B3",
    "\\",
    "'",
    "\"",
    "`",
    "!!",
    "!!",
    "!-2",
    "!-1",
    "!1",
    "!2",
    "!c",
    "!ec",
    "!?a?",
    "!?b",
    "!$",
    "!^",
    "!*",
    "!#",
    "!:1",
    ":gs",
    ":&",
    ":g&",
    ":G",
    "1-2",
    "2*",
    "0^",
    "^-",
    ":s/",
    ":s/a/b/",
    ":gs/c/d/",
    ":s/a/\\/x/",
    ":s&a&\\&&",
    ":s\U0001F600a\U0001F600b",
    ":h",
    ":t",
    ":r",
    ":e",
    ":p",
    ":q",
    ":x",
    "[!",
    "${!",
    "$!",
    "<(",
    ">(",
    "$(",
    "!-x",
    "!%",
    "!?",
    "?:",
    "!0x1",
    "!+1",
    "!(",
    "!ec\"",
    "! 1",
    ":s/c/&x/",
    ":Gs/o/x/",
};

// The words of an entry: operators, redirections, groups, the shell's quotes, paths and plain
// words, some of them with units that lines use as grammar.
constexpr const char* kEntryWords[] = {
    "echo",        "cd",         "cp",
    "a",           "ab",         "abc",
    "b",           "c1",         "x.y",
    "a/b.c",       "/tmp/x.txt", "\u00e9/\U0001F600.txt",
    "\U0001F600x", ";",          "&",
    "|",           "&&",         "||",
    "2>&1",        ">",          "<",
    "<(a b)",      "$(c d)",     "<()",
    "\"q r\"",     "`s t`",      "a;b",
    "x|y",         "-x",         "a!b",
    "[a-z]",       "${v}",       "%x",
    "?y",          "^z",         "1",
    "22",          "a=b",        "#c",
    "~u",          "@w",         "a,b",
    ":s",          "o.o",        "\u00df\u00e9",
    "*",           "x-y",        "c:\\x\\y.z",
    "a\\b.c",      "\\\\s\\t",   "d:/e",
    "f:\\g",
};
constexpr char kEntryUnits[] = "abcxyo0123./-_=,~@!$*?%^[]{}#:";

std::string CharEntry(Random* r) {
  std::string e;
  const size_t words = 1 + r->Below(6);
  for (size_t i = 0; i < words; ++i) {
    if (i > 0) e += r->Chance(8) ? (r->Chance(50) ? "\t" : "  ") : " ";
    if (r->Chance(70)) {
      e += kEntryWords[r->Below(sizeof kEntryWords / sizeof kEntryWords[0])];
    } else {
      e += RandomText(r, 1 + r->Below(5), kEntryUnits);
    }
  }
  return e;
}

std::string CharLine(Random* r) {
  std::string line = r->Chance(12) ? "^" : "";
  const size_t pieces = 1 + r->Below(10);
  for (size_t i = 0; i < pieces; ++i) {
    line += kLinePieces[r->Below(sizeof kLinePieces / sizeof kLinePieces[0])];
  }
  return line;
}

// ---- What Quorvin must give: bash's answer, under the rules of the deliberate differences ----
// Each row of the README's table of differences is a rule that says what Quorvin must give on a
// line that has it, from bash's own answers. Most rewrite the line into bash's terms, ask bash,
// and put the typed units back into its answer: a unit that Quorvin reads as text becomes a
// control unit that bash reads as text too (none is ever drawn), a number read Quorvin's way
// becomes the number bash reads the same way. Where a rule must know how bash reads a position
// of the line (in plain text, or inside a reference), bash is asked: the line so far, then a
// probe whose answer differs between the two. The others say when Quorvin must fail. A line
// that no rule can judge is counted, and shown, as unjudged.

enum Rule {
  kQuotes,
  kEscape,
  kSingleQuote,
  kBackslash,
  kNumbering,
  kDefaultFirst,
  kLeadingSubstitution,
  kDefaultFailure,
  kEachWord,
  kParenthesis,
  kEarlier,
  kBrackets,
  kDelimiter,
  kWordNumber,
  kPaths,
  kRuleCount
};

// The rules, each named by its row of the README's table, and the lines each judged in a run.
struct RuleRow {
  const char* row;
  int lines;
};

RuleRow kRules[kRuleCount] = {
    {"a `!` between double quotes or back-quotes is text; a quote ends a search text", 0},
    {"`^` escapes the character after it, so `^!` is text, and the `^` stays", 0},
    {"a single quote is an ordinary character", 0},
    {"a backslash is an ordinary character, except in a `:s` text", 0},
    {"Quorvin's numbering", 0},
    {"a line that the default rules expand gives their line", 0},
    {"the `:s` modifiers right after the `!` that begins a line read `&` and `\\` as the default "
     "rules do, unless bash's reading closes past their chain",
     0},
    {"a line that begins with `!` and that the default rules fail stays a failure when bash's "
     "rules find no reference",
     0},
    {"`:G` replaces once in each word", 0},
    {"`!(` is text", 0},
    {"`%`, `:&` and an empty old text need a search or substitution earlier in the same line", 0},
    {"`[!...]` and `${!...}` are left alone on every line, where the line as typed has them", 0},
    {"a `:s` delimiter is one whole character", 0},
    {"a word number names that word", 0},
    {"`:h` and `:t` split at `\\` as well as `/`, and keep a drive's root", 0},
};

// Units written into bash's lines in place of typed units that Quorvin reads as text.
constexpr char kTextBang = '\x02';
constexpr char kTextSingleQuote = '\x03';
// A backslash Quorvin reads as text: a '/' that bash's :h and :t split at as Quorvin's split at
// a '\', marked as a backslash by a unit before it (which stays with the head :h leaves) and one
// after it (which stays with the tail :t leaves).
const std::string kTextBackslash = "\x07/\x14";
constexpr char kBackslashMark = '\x07';
constexpr char kBackslashTailMark = '\x14';
const std::string kQuotedTextBackslash = "\x07\\/\x14";  // in a :s text whose delimiter is '/'
// Before the separator after a drive: left alone where :h cut the separator off, Quorvin's :h
// having kept it (the drive's root).
constexpr char kDriveSlash = '\x1e';
constexpr char kDriveBackslash = '\x1f';
// After a drive's '/': with the mark before it, the '/' is told from one that begins the text
// after it (a later reference's).
constexpr char kDriveSlashTail = '\x1d';
const std::string kDriveSeparator = std::string("/") + kDriveSlashTail;
constexpr char kTextDoubleQuote = '\x08';
constexpr char kTextBackQuote = '\x0e';
constexpr char kTextHash = '\x0f';
constexpr char kFirstDelimiter = '\x10';  // and the next two: :s delimiters outside ASCII
constexpr int kDelimiterUnits = 3;
constexpr char kBracket = '\x17';  // every '[' and '{' (see AskBashTypedBrackets)
constexpr char kBrace = '\x18';
// Written before a shell's quote that ends Quorvin's search text, to end bash's there too.
const std::string kSearchEnd = ";\x04";
// The probe: bash copies it whole to the end of its answer only from plain text.
constexpr char kProbeUnit = '\x05';
constexpr char kProbeMark = '\x06';
const std::string kProbe = std::string(1, kProbeUnit) + "&" + kProbeMark;
constexpr int kMostProbes = 16;  // probes a line may take

// What stands in bash's line for the typed unit `u` where Quorvin reads it as text.
std::string TextOf(char u) {
  switch (u) {
    case '!':
      return std::string(1, kTextBang);
    case '\'':
      return std::string(1, kTextSingleQuote);
    case '\\':
      return kTextBackslash;
    case '"':
      return std::string(1, kTextDoubleQuote);
    case '`':
      return std::string(1, kTextBackQuote);
    case '#':
      return std::string(1, kTextHash);
    default:
      return std::string(1, u);
  }
}

// The bytes of the UTF-8 character at `at`.
size_t Width(const std::string& s, size_t at) {
  const unsigned char lead = static_cast<unsigned char>(s[at]);
  const size_t width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return std::min(width, s.size() - at);
}

bool IsDigitAt(const std::string& s, size_t at) {
  return at < s.size() && std::isdigit(static_cast<unsigned char>(s[at]));
}

// Bash's place at a position of a typed line, as a probe found it.
enum Place {
  kPlainText,       // plain text or a comment: the unit there begins no part of a reference
  kInSearch,        // inside the text of a !text search, which a ';' ends
  kInReference,     // inside a reference or a quick substitution
  kReferenceStart,  // a '!' there begins a reference
  kNoReference,     // a '!' there begins none
  kModifierStart,   // a ':' there begins a modifier
  kFirstModifier,   // a ':' there begins the first modifier of a reference without a designator
};

// One line and what is known of it.
struct CharCase {
  std::string line;                     // as typed
  std::map<size_t, Place> places;       // bash's places at positions of it, as probes found them
  size_t probeAt = 0;                   // the position the next probe asks about
  std::vector<std::string> probes;      // and the lines it asks
  int rounds = 0;                       // probes asked so far
  std::string asked;                    // the line in bash's terms
  std::vector<std::string> delimiters;  // :s delimiters outside ASCII, from kFirstDelimiter on
  unsigned rules = 0;                   // the rules that judge it
  std::string byDefault;                // the line as the default rules read it, in bash's terms
  bool defaultReads = false;            // byDefault holds it
  bool defaultUnclear = false;          // if characters are of the classes that make it so
  bool askPrimed = false;               // bash is asked after a search and a substitution too
  bool askG = false;                    // and with each ":G" made text
  size_t firstG = 0;                    // where the first ":G" before 's' or '&' is
  bool eachWord = false;                // bash reads it as a modifier: see JudgeEachWord
  bool carriesG = false;                // a ":G" before another modifier, and an 's' later
  bool meetsStandIn = false;            // a text it looks for is found otherwise in bash's entries
  size_t splitsOtherwise = std::string::npos;  // from where bash splits `asked` into words
                                               // otherwise than Quorvin the typed line
  const char* unjudged = nullptr;              // why no rule judges it
  BashResult bash, primed, textG, beforeG, byDefaultAnswer;  // bash's answers
  BashResult plugin;                                         // the plugin's, in bash mode
  BashResult expected;                                       // what the plugin must give
};

// The number after a '!' (from `at`) in bash's terms, read as Quorvin reads it with /Z1 over
// `count` entries; `*length` is set to the units it takes. Empty when there is none.
std::string BashNumber(const std::string& s, size_t at, size_t count, size_t* length) {
  size_t p = at;
  const bool hex = s.compare(p, 2, "0x") == 0 || s.compare(p, 2, "0X") == 0;
  const bool negative = s[p] == '-' && IsDigitAt(s, p + 1);
  const bool plus = s[p] == '+' && IsDigitAt(s, p + 1);
  if (hex && p + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[p + 2]))) {
    p += 2;
  } else if (negative || plus) {
    ++p;
  } else if (!IsDigitAt(s, p)) {
    return "";
  }
  const bool readHex = hex && p == at + 2;
  uint64_t value = 0;
  for (; p < s.size(); ++p) {
    const unsigned char u = static_cast<unsigned char>(s[p]);
    if (!(readHex ? std::isxdigit(u) : std::isdigit(u))) break;
    const uint64_t digit = std::isdigit(u) ? u - '0' : std::tolower(u) - 'a' + 10;
    value = std::min<uint64_t>(value * (readHex ? 16 : 10) + digit, uint64_t{1} << 40);
  }
  *length = p - at;
  // Beyond 32 bits: no entry; bash's !0 names none either.
  const uint64_t most = readHex ? 0xFFFFFFFFu : negative ? 0x80000000u : 0x7FFFFFFFu;
  if (value > most) return "0";
  // From 0x80000000 on, counted back from the newest.
  const bool back = negative || (readHex && value >= 0x80000000u);
  const uint64_t magnitude = negative ? value : back ? (uint64_t{1} << 32) - value : value;
  if (!back) return std::to_string(magnitude);
  if (magnitude == 0) return "0";
  return magnitude > count ? "1" : "-" + std::to_string(magnitude);  // past the oldest: the oldest
}

// The texts of a :s modifier (at its ':') as typed: where each begins and ends, where the
// modifier ends, and whether its closing delimiter was typed.
struct TypedSub {
  size_t oldFrom, oldEnd, withFrom, withEnd, end;
  bool closed;
};

// The default rules' reading of the :s modifier at `m`: a delimiter of ASCII punctuation, an old
// text of at least one unit closed by it, no quoting. False where they do not read one.
bool ReadDefaultSub(const std::string& s, size_t m, TypedSub* sub) {
  if (s.compare(m, 2, ":s") != 0 || m + 2 >= s.size() ||
      !std::ispunct(static_cast<unsigned char>(s[m + 2]))) {
    return false;
  }
  const char d = s[m + 2];
  sub->oldFrom = m + 3;
  sub->oldEnd = std::min(s.find(d, sub->oldFrom), s.size());
  if (sub->oldEnd == s.size() || sub->oldEnd == sub->oldFrom) return false;
  sub->withFrom = sub->oldEnd + 1;
  sub->withEnd = std::min(s.find(d, sub->withFrom), s.size());
  sub->closed = sub->withEnd < s.size();
  sub->end = sub->closed ? sub->withEnd + 1 : s.size();
  return true;
}

// Bash's reading of the :s modifier at `m`: each text runs to its delimiter (one whole
// character, which a backslash before it quotes) or the end of the line.
void ReadBashSub(const std::string& s, size_t m, TypedSub* sub) {
  const size_t width = m + 2 < s.size() ? Width(s, m + 2) : 0;
  const std::string d = s.substr(m + 2, width);
  auto textEnd = [&](size_t p) {
    while (p < s.size() && s.compare(p, width, d) != 0) {
      p += s[p] == '\\' && p + 1 < s.size() && s.compare(p + 1, width, d) == 0 ? 1 + width
                                                                               : Width(s, p);
    }
    return p;
  };
  sub->oldFrom = m + 2 + width;
  sub->oldEnd = textEnd(sub->oldFrom);
  sub->withFrom = std::min(sub->oldEnd + width, s.size());
  sub->withEnd = textEnd(sub->withFrom);
  sub->closed = sub->withEnd < s.size();
  sub->end = sub->closed ? sub->withEnd + width : s.size();
}

// A typed text of a :s modifier with the delimiter `d` in bash's terms, each unit as typed but
// for a single quote and a backslash (whose '/' is quoted where it is the delimiter).
std::string TextInSub(const std::string& text, char d) {
  std::string out;
  for (char v : text) {
    out += v == '\\' && d == '/'    ? kQuotedTextBackslash
           : v == '\'' || v == '\\' ? TextOf(v)
                                    : std::string(1, v);
  }
  return out;
}

// Writes the line into bash's terms (c->asked, c->rules) as far as the probes answered so far
// allow: false when a probe must be asked first (c->probeAt, c->probes).
bool Translate(CharCase* c, size_t count) {
  const std::string& s = c->line;
  std::string t;
  unsigned rules = 0;
  c->delimiters.clear();
  bool plain = s[0] != '^';  // bash reads plain text here, for certain
  bool comment = false;      // a '#' has been passed: a comment may have begun
  char quote = 0;            // the shell's quote that is open
  // The :s modifier being read (or the quick substitution that begins the line): its delimiter,
  // the unit bash is given for it, and how many of its delimiters are still to come.
  std::string delimiter = s[0] == '^' ? "^" : "";
  std::string delimiterUnit = delimiter;
  int delimitersLeft = s[0] == '^' ? 2 : 0;
  size_t splitsOtherwise = std::string::npos;
  bool leading = s[0] == '!';  // the line's first reference may still come to its modifiers
  std::vector<std::pair<size_t, size_t>> bangs;  // where later '!'s stand in `s` and in `t`
  // Bash's place at `q`, or null once the probe that finds it is set.
  auto placeAt = [c](size_t q, std::vector<std::string> probes) -> const Place* {
    const auto known = c->places.find(q);
    if (known != c->places.end()) return &known->second;
    c->probeAt = q;
    c->probes = std::move(probes);
    return nullptr;
  };
  for (size_t q = 0; q < s.size();) {
    const char u = s[q];
    const size_t width = Width(s, q);
    if (quote != 0) {  // the shell's quote: text up to the same quote
      if (u == quote) {
        quote = 0;
        plain = true;
      }
      t += width == 1 && quote != 0 ? TextOf(u) : s.substr(q, width);
      q += width;
      continue;
    }
    if (delimitersLeft > 0 && q > 0 && s.compare(q, width, delimiter) == 0) {
      t += delimiterUnit;
      --delimitersLeft;
      q += width;
      continue;
    }
    if (u == '\'') {
      t += kTextSingleQuote;
      rules |= 1u << kSingleQuote;
      ++q;
    } else if (u == '"' || u == '`') {
      Place at = kPlainText;
      if (!plain && !t.empty() && t.back() == '!') {
        at = kInSearch;  // an empty search text, ended by the quote
      } else if (!plain) {
        const Place* p = placeAt(q, {t + kProbe, t + kSearchEnd + kProbe});
        if (p == nullptr) return false;
        at = *p;
      }
      if (at == kInSearch) {
        splitsOtherwise = std::min(splitsOtherwise, t.size());  // a ';' splits bash's words
        t += kSearchEnd;
      }
      t += u;
      if (at != kInReference) {
        quote = u;
        rules |= 1u << kQuotes;
      }
      ++q;
    } else if (u == '^' && q > 0) {
      bool escapes = plain;
      if (!plain) {
        const Place* p = placeAt(q, {t + kProbe, t + "^" + kProbe});
        if (p == nullptr) return false;
        escapes = *p == kPlainText;
      }
      t += u;
      ++q;
      if (escapes && q < s.size()) {
        const size_t w = Width(s, q);
        const std::string text = w == 1 && s[q] != '#' ? TextOf(s[q]) : s.substr(q, w);
        const bool masked = text != s.substr(q, w);
        if (masked) rules |= 1u << kEscape;
        // An escaped quote still groups Quorvin's words, and "!(" opens a group of them.
        if (masked && (s[q] == '"' || s[q] == '`' || (s[q] == '!' && s[q + 1] == '('))) {
          splitsOtherwise = std::min(splitsOtherwise, t.size());
        }
        t += text;
        q += w;
        plain = true;
      }
    } else if (u == '\\') {
      // An ordinary character, but in a :s text before its delimiter, or before a '&' in its new
      // text, which it quotes. Bash's backslash escapes a '!' or a quote and joins words, and
      // its :h and :t do not split at it.
      const size_t next = q + 1 < s.size() ? Width(s, q + 1) : 0;
      const bool quotes =
          delimitersLeft > 0 && next > 0 &&
          (s.compare(q + 1, next, delimiter) == 0 || (delimitersLeft == 1 && s[q + 1] == '&'));
      if (quotes) {
        t += "\\" + (s[q + 1] == '&' ? std::string("&") : delimiterUnit);
        q += 1 + next;
      } else {
        t += delimitersLeft > 0 && delimiter == "/" ? kQuotedTextBackslash : kTextBackslash;
        rules |= 1u << kBackslash;
        ++q;
      }
    } else if (u == '!') {
      // "[!" and "${!" of the line's text: the '[' or '$' is no part of a reference.
      const bool square = q > 0 && s[q - 1] == '[' && s.find(']', q + 1) != std::string::npos;
      const bool brace = q > 1 && s[q - 1] == '{' && s[q - 2] == '$' &&
                         s.find('}', q + 1) != std::string::npos && t.size() >= 2;
      bool bracket = (square || brace) && plain;
      if ((square || brace) && !plain) {
        const size_t at = q - (square ? 1 : 2);
        const std::string before = t.substr(0, t.size() - (square ? 1 : 2));
        const Place* p = placeAt(at, {before + kProbe, before + s[at] + kProbe});
        if (p == nullptr) return false;
        bracket = *p == kPlainText;
      }
      size_t length = 0;
      const bool parenthesis = q + 1 < s.size() && s[q + 1] == '(';
      const std::string number = parenthesis ? "" : BashNumber(s, q + 1, count, &length);
      bool start = false;
      if (!bracket && (parenthesis || (!number.empty() && number != s.substr(q + 1, length)))) {
        start = plain && !comment && (q == 0 || s[q - 1] != '$');
        if (!start) {
          const Place* p = placeAt(q, {t + "!#" + kProbeUnit});
          if (p == nullptr) return false;
          start = *p == kReferenceStart;
        }
      }
      if (bracket || (start && parenthesis)) {
        // "!(" opens a group of Quorvin's words, and of bash's only where it reads a '!'.
        if (parenthesis) splitsOtherwise = std::min(splitsOtherwise, t.size());
        t += kTextBang;
        rules |= 1u << (bracket ? kBrackets : kParenthesis);
        plain = plain || start;
        ++q;
      } else if (start) {
        leading = leading && q == 0;  // another reference
        t += "!" + number;
        rules |= 1u << kNumbering;
        plain = false;
        q += 1 + length;
      } else {
        if (q > 1 || (q == 1 && s[0] != '!')) bangs.push_back({q, t.size()});
        t += u;
        plain = false;
        ++q;
      }
    } else if (u == ':' && leading && !plain && s.compare(q, 2, ":s") == 0) {
      // The :s modifiers right after the event of the reference that begins the line, read as the
      // default rules read them, but from the first one that bash's rules read closed past the
      // end of the default rules' chain (then bash's rules read the rest of the line).
      for (const auto& bang : bangs) {  // a reference begun later is not the first
        const Place* p = placeAt(bang.first, {t.substr(0, bang.second) + "!#" + kProbeUnit});
        if (p == nullptr) return false;
        leading = leading && *p != kReferenceStart;
      }
      const Place* p =
          leading ? placeAt(q, {t + kProbe, t + ":" + kProbe, t + ":*" + kProbe}) : nullptr;
      if (leading && p == nullptr) return false;
      const Place place = p != nullptr ? *p : kPlainText;
      leading = place == kInReference;  // within a text of the first reference: it goes on
      if (place == kFirstModifier) {
        size_t chainEnd = q;
        for (TypedSub d; ReadDefaultSub(s, chainEnd, &d);) chainEnd = d.end;
        TypedSub d, b;
        for (; q < chainEnd && ReadDefaultSub(s, q, &d); q = d.end) {
          ReadBashSub(s, q, &b);
          if (b.closed && b.end > chainEnd) break;
          if (b.end != d.end || b.oldEnd != d.oldEnd) rules |= 1u << kLeadingSubstitution;
          const char mark = s[q + 2];
          t += s.substr(q, 3) + TextInSub(s.substr(d.oldFrom, d.oldEnd - d.oldFrom), mark);
          if (d.oldEnd < s.size()) t += mark;
          for (char v : s.substr(d.withFrom, d.withEnd - d.withFrom)) {
            t += v == '&' ? "\\&" : TextInSub(std::string(1, v), mark);
            if (v == '&') rules |= 1u << kLeadingSubstitution;
          }
          if (d.withEnd < s.size()) t += mark;
        }
      }
      if (leading) {  // a ':' in a text of the first reference
        t += u;
        ++q;
      }
    } else if (u == ':') {
      // A :s modifier is read (for its delimiter) when its delimiter is outside ASCII, which
      // bash is given as a unit of ASCII, or when a backslash comes later, which may quote it.
      size_t k = q + 1;
      while (k < s.size() && (s[k] == 'g' || s[k] == 'a' || s[k] == 'G')) ++k;
      const bool wide =
          k + 1 < s.size() && s[k] == 's' && static_cast<unsigned char>(s[k + 1]) >= 0x80;
      const bool quotable = k + 1 < s.size() && s[k] == 's' && s.find('\\', k) != std::string::npos;
      bool modifier = false;
      if ((wide || quotable) && delimitersLeft == 0 && !plain) {
        const Place* p = placeAt(q, {t + kProbe, t + ":" + kProbe, t + ":*" + kProbe});
        if (p == nullptr) return false;
        modifier = *p == kModifierStart || *p == kFirstModifier;
      }
      if (modifier) {
        delimiter = s.substr(k + 1, Width(s, k + 1));
        delimiterUnit = delimiter;
        if (wide) {
          const auto known = std::find(c->delimiters.begin(), c->delimiters.end(), delimiter);
          const size_t n = static_cast<size_t>(known - c->delimiters.begin());
          if (known == c->delimiters.end()) c->delimiters.push_back(delimiter);
          if (n >= kDelimiterUnits) c->unjudged = "more :s delimiters outside ASCII than units";
          delimiterUnit = std::string(1, static_cast<char>(kFirstDelimiter + n));
          rules |= 1u << kDelimiter;
        }
        t += s.substr(q, k + 1 - q) + delimiterUnit;
        delimitersLeft = 2;
        q = k + 1 + delimiter.size();
      } else {
        t += u;
        ++q;
      }
    } else if (IsDigitAt(s, q) && (q == 0 || !IsDigitAt(s, q - 1))) {
      // A word number 36 is asked as 37, which names no word of the texts drawn here either
      // (they hold fewer than 37 words) and is never drawn.
      size_t end = q;
      while (IsDigitAt(s, end)) ++end;
      const std::string digits = s.substr(q, end - q);
      const bool event = (q > 0 && s[q - 1] == '!') ||
                         (q > 1 && (s[q - 1] == '-' || s[q - 1] == '+') && s[q - 2] == '!');
      if (!event && digits.size() < 6 && std::stoi(digits) == 36) {
        t += digits.substr(0, digits.size() - 1) + "7";
        rules |= 1u << kWordNumber;
      } else {
        t += digits;
      }
      q = end;
    } else {
      if (u == '#') comment = true;
      t += s.substr(q, width);
      q += width;
    }
  }
  c->asked = t;
  c->rules = rules;
  c->splitsOtherwise = splitsOtherwise;
  return true;
}

// Whether bash's answer ends with `tail`, after plain text: the probe's mark stands in it once.
bool EndsWith(const BashResult& r, const std::string& tail) {
  return r.expanded && r.line.size() >= tail.size() &&
         r.line.compare(r.line.size() - tail.size(), tail.size(), tail) == 0 &&
         std::count(r.line.begin(), r.line.end(), kProbeMark) == 1;
}

// Whether bash's answer to a line so far, then "!#" and the probe unit, is that line so far
// twice: the "!#" began a reference.
bool CopiedLineSoFar(const BashResult& r) {
  if (!r.expanded || r.line.empty() || r.line.back() != kProbeUnit) return false;
  const size_t half = (r.line.size() - 1) / 2;
  return r.line.size() % 2 == 1 && r.line.compare(0, half, r.line, half, half) == 0;
}

// What a probe of the unit `u` found, from bash's answers to the line so far (`afterBang`: it
// ends with a '!') with the probe after it, and, for some units, with the unit and the probe.
Place ReadUnitProbe(char u, bool afterBang, const BashResult* answers) {
  if (u == '!') return CopiedLineSoFar(answers[0]) ? kReferenceStart : kNoReference;
  if (u == ':' && afterBang) {
    // "!:" is the newest entry with a modifier, where "!" and the probe would be a search.
    return EndsWith(answers[1], ":" + kProbe) ? kPlainText : kModifierStart;
  }
  if (!EndsWith(answers[0], kProbe)) {
    const bool quote = u == '"' || u == '`';
    return quote && EndsWith(answers[1], kSearchEnd + kProbe) ? kInSearch : kInReference;
  }
  if (u != '^' && u != ':' && u != '$' && u != '[') return kPlainText;
  // Asked again with the unit itself before the probe: as text, bash copies it too.
  const std::string before = answers[0].line.substr(0, answers[0].line.size() - kProbe.size());
  if (answers[1].expanded && answers[1].line == before + u + kProbe) return kPlainText;
  return u == ':' ? kModifierStart : kInReference;
}

// What the probe asked about c->probeAt found, from bash's answers to c->probes.
Place ReadProbe(const CharCase& c, const BashResult* answers) {
  const std::string& first = c.probes[0];
  const bool afterBang =
      first.size() > kProbe.size() && first[first.size() - kProbe.size() - 1] == '!';
  const Place place = ReadUnitProbe(c.line[c.probeAt], afterBang, answers);
  // Asked a third time with the designator ":*" before the probe: bash takes one only right
  // after an event, where the probe alone may have lengthened a !word search.
  if (place != kPlainText && c.probes.size() == 3 && EndsWith(answers[2], kProbe)) {
    return kFirstModifier;
  }
  return place;
}

// Whether the character at `at` is a letter: the ASCII ones and those of Latin-1 drawn here.
bool IsLetterAt(const std::string& s, size_t at) {
  if (at >= s.size()) return false;
  if (std::isalpha(static_cast<unsigned char>(s[at]))) return true;
  return s.compare(at, 2, "\u00e9") == 0 || s.compare(at, 2, "\u00df") == 0;
}

enum DefaultReading {
  kNotDefault,     // the default rules do not read the line
  kDefaultLine,    // they read it as written in bash's terms
  kDefaultUnclear  // they read it so only if a character is of a class the platform says
};

// The line as the default rules read it (a '!', one reference, :s modifiers and nothing else),
// written in bash's terms into `*bash`: Quorvin's numbering, '&' a text of its own, a search
// word that ends where the default rules end it, a delimiter outside ASCII as a unit of ASCII
// (it never stands in bash's answer).
DefaultReading ReadDefault(const std::string& s, size_t count, std::string* bash);

// The line as the default rules read it, or, when they read none and a ":p" ends it, the line
// without the ":p" as they read that, the ":p" put back (the text before a closing :p shows
// what Enter gives for it).
DefaultReading ReadDefaultOrPrinted(const std::string& s, size_t count, std::string* bash) {
  const DefaultReading whole = ReadDefault(s, count, bash);
  if (whole != kNotDefault || s.size() < 3 || s.compare(s.size() - 2, 2, ":p") != 0) return whole;
  const DefaultReading shown = ReadDefault(s.substr(0, s.size() - 2), count, bash);
  // A search that ends the text is closed before the :p, which bash would take into it.
  if (shown != kNotDefault)
    *bash += bash->compare(0, 2, "!?") == 0 && bash->find(':') == std::string::npos ? "?:p" : ":p";
  return shown;
}

DefaultReading ReadDefault(const std::string& s, size_t count, std::string* bash) {
  if (s[0] != '!') return kNotDefault;
  bool unclear = false;
  size_t p = 1;
  std::string out;
  if (s[p] == '!') {
    out = "!!";
    ++p;
  } else {
    while (s[p] == ' ' || s[p] == '\t') ++p;  // blanks after the bang (/A1)
    const bool containment = s[p] == '?' && IsLetterAt(s, p + 1);
    size_t length = 0;
    const std::string number = BashNumber(s, p, count, &length);
    if (!number.empty() && (IsDigitAt(s, p) || s[p] == '+' || s[p] == '-')) {
      out = "!" + number;
      p += length;
    } else if (containment || IsLetterAt(s, p)) {
      // A word: a letter, then letters, digits, '_' and '$'.
      const size_t from = p + (containment ? 1 : 0);
      size_t end = from;
      while (end < s.size() &&
             (IsLetterAt(s, end) || IsDigitAt(s, end) || s[end] == '_' || s[end] == '$')) {
        end += Width(s, end);
      }
      const std::string word = s.substr(from, end - from);
      unclear = word.find('$') != std::string::npos;  // bash's search text ends at a '$'
      out = (containment ? "!?" : "!") + word;
      // The search word ends where the default rules end it; bash's would run on to a '?'.
      if (containment && end != s.size()) out += "?";
      p = end;
    } else {
      return kNotDefault;
    }
  }
  while (p < s.size()) {
    if (s.compare(p, 2, ":s") != 0 || p + 2 >= s.size()) return kNotDefault;
    const std::string d = s.substr(p + 2, Width(s, p + 2));
    // Punctuation outside ASCII is the platform's to say.
    unclear = unclear || d.size() > 1;
    if (d.size() == 1 && !std::ispunct(static_cast<unsigned char>(d[0]))) return kNotDefault;
    const std::string unit = d.size() > 1 ? std::string(1, kFirstDelimiter) : d;
    const size_t oldFrom = p + 2 + d.size();
    const size_t oldEnd = std::min(s.find(d, oldFrom), s.size());
    // No second delimiter, or an empty old text, fails (where bash reads `:s/b` as `:s/b/`).
    if (oldEnd == s.size() || oldEnd == oldFrom) return kNotDefault;
    const std::string old = s.substr(oldFrom, oldEnd - oldFrom);
    const size_t newFrom = std::min(oldEnd + d.size(), s.size());
    const size_t newEnd = std::min(s.find(d, newFrom), s.size());
    const std::string with = s.substr(newFrom, newEnd - newFrom);
    // bash's backslash would quote the delimiter that ends the text.
    unclear = unclear || old.back() == '\\' ||
              (newEnd < s.size() && !with.empty() && with.back() == '\\');
    out += ":s" + unit + old + unit;
    for (char u : with) out += u == '&' ? std::string("\\&") : std::string(1, u);
    if (newEnd < s.size()) out += unit;
    p = std::min(newEnd + d.size(), s.size());
  }
  *bash = out;
  return unclear ? kDefaultUnclear : kDefaultLine;
}

// Bash's answer to c->asked with the typed units put back. A typed single quote that bash's :q
// or :x put between its quotes is quoted as theirs are.
std::string Unmask(const CharCase& c, const std::string& answer) {
  std::string line;
  bool quoted = false;  // between the single quotes of :q or :x
  for (size_t i = 0; i < answer.size(); ++i) {
    const char u = answer[i];
    if (u == '\'' || (u == '\\' && !quoted && answer[i + 1] == '\'')) {
      if (u == '\'') quoted = !quoted;
      line += answer.substr(i, u == '\'' ? 1 : 2);
      i += u == '\'' ? 0 : 1;
    } else if (answer.compare(i, kSearchEnd.size(), kSearchEnd) == 0) {
      ++i;
    } else if (u >= kFirstDelimiter && u < kFirstDelimiter + kDelimiterUnits &&
               static_cast<size_t>(u - kFirstDelimiter) < c.delimiters.size()) {
      line += c.delimiters[static_cast<size_t>(u - kFirstDelimiter)];
    } else if (u == kTextBang) {
      line += '!';
    } else if (u == kTextSingleQuote) {
      line += quoted ? "'\\''" : "'";
    } else if (u == kDriveSlash || u == kDriveBackslash) {
      const std::string separator = u == kDriveSlash ? kDriveSeparator : kTextBackslash;
      line += u == kDriveSlash ? '/' : '\\';  // the separator itself, or the root :h kept
      if (answer.compare(i + 1, separator.size(), separator) == 0) i += separator.size();
    } else if (answer.compare(i, kTextBackslash.size(), kTextBackslash) == 0) {
      line += '\\';
      i += kTextBackslash.size() - 1;
    } else if (u == kDriveSlashTail) {  // what :t left of a drive's separator
    } else if (u == kBackslashMark || u == kBackslashTailMark) {  // what :h or :t left of one
    } else if (u == kTextDoubleQuote) {
      line += '"';
    } else if (u == kTextBackQuote) {
      line += '`';
    } else if (u == kTextHash) {
      line += '#';
    } else if ((c.rules & (1u << kWordNumber)) != 0 && answer.compare(i, 2, "37") == 0) {
      line += "36";
      ++i;
    } else {
      line += u;
    }
  }
  return line;
}

// A text for a bash script with its control units readable: $'...' with \xNN for each.
std::string ShellQuoted(const std::string& s) {
  std::string q = "$'";
  for (char u : s) {
    if (u == '\'' || u == '\\') {
      q += std::string("\\") + u;
    } else if (static_cast<unsigned char>(u) < 0x20) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(u));
      q += hex;
    } else {
      q += u;
    }
  }
  return q + "'";
}

// Whether a "!#" after `from` in bash's line takes words from the line so far (a designator or
// :x after it).
bool SplitsLineSoFar(const std::string& s, size_t from) {
  for (size_t at = s.find("!#", from); at != std::string::npos; at = s.find("!#", at + 1)) {
    const char next = at + 2 < s.size() ? s[at + 2] : 0;
    const char then = at + 3 < s.size() ? s[at + 3] : 0;
    if (next != 0 && std::strchr("^$*-%", next) != nullptr) return true;
    if (next == ':' && then != 0 && (IsDigitAt(s, at + 3) || std::strchr("^$*-%x", then))) {
      return true;
    }
  }
  return false;
}

// Occurrences of `needle` in `text`.
size_t CountOf(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

// Whether a text the line `a` (in bash's terms) looks for, a !? search or the old text of a
// substitution or of a quick substitution, holds a '/' and occurs otherwise in an entry in
// bash's terms than in the entry as typed: the stand-ins for a backslash and for a drive's
// separator hold units of their own beside a '/'.
bool MeetsStandIn(const std::string& a, const std::vector<std::string>& typed,
                  const std::vector<std::string>& bash) {
  for (size_t i = 0; i < a.size(); ++i) {
    size_t from = std::string::npos;
    char end = 0;
    if (a.compare(i, 2, "!?") == 0) {
      from = i + 2;
      end = '?';
    } else if (i == 0 && a[0] == '^') {
      from = 1;
      end = '^';
    } else if (a[i] == 's' && i > 0 && std::strchr(":gGa", a[i - 1]) != nullptr &&
               i + 1 < a.size()) {
      from = i + 2;
      end = a[i + 1];
    }
    if (from == std::string::npos) continue;
    size_t stop = from;
    while (stop < a.size() && a[stop] != end) stop += a[stop] == '\\' && end != '?' ? 2 : 1;
    std::string needle = a.substr(from, std::min(stop, a.size()) - from);
    if (needle.find('/') == std::string::npos) continue;
    if (end != '?') {  // a '\' quotes the delimiter
      for (size_t q = needle.find(std::string("\\") + end); q != std::string::npos;
           q = needle.find(std::string("\\") + end, q + 1))
        needle.erase(q, 1);
    }
    std::string asTyped = needle;
    for (size_t q = asTyped.find(kTextBackslash); q != std::string::npos;
         q = asTyped.find(kTextBackslash, q + 1))
      asTyped.replace(q, kTextBackslash.size(), "\\");
    for (size_t e = 0; e < typed.size(); ++e) {
      if (CountOf(typed[e], asTyped) != CountOf(bash[e], needle)) return true;
    }
  }
  return false;
}

// Bash's answers, read under the rules, into what the plugin must give (c->expected), or why
// no rule can say (c->unjudged).
void Judge(CharCase* c) {
  if (c->unjudged != nullptr) return;
  // Bash would not find what Quorvin finds (seed 1060: '^/e' over 'd:/e').
  if (c->meetsStandIn) {
    c->unjudged = "a '/' the line looks for may meet a stand-in for a backslash or a drive";
    return;
  }
  if (c->carriesG) {
    c->unjudged = ":G before another modifier, whose flag a later substitution takes";
    return;
  }
  if (c->defaultReads && c->byDefaultAnswer.expanded) {
    if (c->defaultUnclear) {
      // Whether the default rules read the line or not, it must give bash's line.
      c->defaultReads = false;
      Judge(c);
      const BashResult& d = c->byDefaultAnswer;
      if (c->unjudged == nullptr &&
          (!c->expected.expanded || c->expected.line != Unmask(*c, d.line))) {
        c->unjudged = "the default rules' classes of a character";
      }
      return;
    }
    c->rules = 1u << kDefaultFirst;
    c->expected = {true, Unmask(*c, c->byDefaultAnswer.line)};
    return;
  }
  const BashResult& b = c->bash;
  const BashResult& p = c->primed;
  if (c->askPrimed &&
      (b.crashed || p.crashed || p.timedOut || p.expanded != b.expanded || p.line != b.line)) {
    c->rules |= 1u << kEarlier;
    c->expected = {false, ""};
    return;
  }
  if (c->askG) {
    // What comes before the first ":G" fails: the line fails whatever the :G does.
    if (!c->beforeG.expanded) {
      c->rules |= 1u << kEachWord;
      c->expected = {false, ""};
      return;
    }
    // Bash reads each ":G" as text: then it is text.
    std::string text = c->textG.line;
    std::replace(text.begin(), text.end(), kProbeUnit, 'G');
    if (!b.expanded || !c->textG.expanded || text != b.line) {
      c->eachWord = true;
      return;
    }
  }
  if (b.timedOut || b.crashed) {
    c->unjudged = b.timedOut ? "bash ran out of time" : "bash crashed";
    return;
  }
  if (c->line[0] == '!' && b.expanded && b.line == c->asked) {
    c->rules = 1u << kDefaultFailure;
    c->expected = {false, ""};
    return;
  }
  const size_t quoting = std::min(c->asked.find(":q"), c->asked.find(":x"));
  if (!b.expanded) {
    c->expected = {false, ""};
    // Bash may fail a designator of the line so far that its split at the quotes leaves
    // without words (seed 1032: '!2:q:r!#^-').
    if (quoting != std::string::npos && SplitsLineSoFar(c->asked, quoting)) {
      c->unjudged = "bash splits the line so far at the quotes of :q or :x";
    }
    return;
  }
  c->expected = {true, Unmask(*c, b.line)};
  if (!standin::IsUtf8(c->expected.line)) c->unjudged = "bash's answer splits a character";
  if (quoting != std::string::npos && SplitsLineSoFar(c->asked, quoting) &&
      b.line.find('\'') != std::string::npos) {
    c->unjudged = "bash splits the line so far at the quotes of :q or :x";
  }
  if (quoting != std::string::npos &&
      std::min(c->asked.find(":q", quoting + 1), c->asked.find(":x", quoting + 1)) !=
          std::string::npos &&
      b.line.find(kTextSingleQuote) != std::string::npos &&
      b.line.find('\'') != std::string::npos) {
    c->unjudged = "bash's :q or :x quotes a typed single quote twice";
  }
  for (size_t i = 0; i < b.line.size(); ++i) {
    const bool lone = (b.line[i] == kDriveSlash &&
                       b.line.compare(i + 1, kDriveSeparator.size(), kDriveSeparator) != 0) ||
                      (b.line[i] == kDriveBackslash &&
                       b.line.compare(i + 1, kTextBackslash.size(), kTextBackslash) != 0);
    // A drive's root :h kept: only where the text began with the drive, which an earlier
    // modifier, the line so far or a quick substitution may not leave so.
    const bool moved =
        c->asked[0] == '^' || c->asked.find("!#") != std::string::npos ||
        c->asked.find_first_of("&") != std::string::npos ||
        c->asked.find(":s") != std::string::npos || c->asked.find("gs") != std::string::npos ||
        c->asked.find("Gs") != std::string::npos || c->asked.find(":as") != std::string::npos ||
        c->asked.find(":q") != std::string::npos || c->asked.find(":x") != std::string::npos ||
        c->asked.find("s/") != std::string::npos;
    if (lone && moved) c->unjudged = "a drive's root where :h may not see the drive";
    // A :t after the :h takes the root apart, where bash's :t sees no separator (seed 1038).
    const size_t head = c->asked.find(":h");
    if (lone && head != std::string::npos && c->asked.find(":t", head) != std::string::npos) {
      c->unjudged = "a drive's root that a later :t takes apart";
    }
    if (lone) c->rules |= 1u << kPaths;
  }
  const bool path =
      c->asked.find(":h") != std::string::npos || c->asked.find(":t") != std::string::npos;
  // Bash's stand-in for a backslash holds a '/' (for :h and :t to split at): a '/' a search of
  // the line looks for may find it, and a substitution may take it apart, where Quorvin meets a
  // backslash.
  if (!path && b.line.find(kBackslashMark) != std::string::npos) {
    bool broken = false;
    for (size_t i = 0; i < b.line.size() && !broken; ++i) {
      broken = (b.line[i] == kBackslashMark &&
                b.line.compare(i, kTextBackslash.size(), kTextBackslash) != 0) ||
               (b.line[i] == kTextBackslash.back() &&
                (i < 2 || b.line.compare(i - 2, kTextBackslash.size(), kTextBackslash) != 0));
    }
    bool searchesSlash = false;
    for (size_t at = c->asked.find("!?"); at != std::string::npos && !searchesSlash;
         at = c->asked.find("!?", at + 2)) {
      const size_t end = std::min(c->asked.find('?', at + 2), c->asked.size());
      for (size_t k = at + 2; k < end && !searchesSlash; ++k) {  // a '/' of no stand-in
        searchesSlash =
            c->asked[k] == '/' && (k == 0 || c->asked[k - 1] != kBackslashMark || k + 1 == end ||
                                   c->asked[k + 1] != kBackslashTailMark);
      }
    }
    if (broken || searchesSlash)
      c->unjudged = "a '/' the line looks for may meet a backslash's stand-in";
  }
  if (path && (b.line.find(kBackslashMark) != std::string::npos ||
               c->asked.find(kBackslashMark) != std::string::npos)) {
    c->rules |= 1u << kPaths;
  }
  if (c->splitsOtherwise != std::string::npos && SplitsLineSoFar(c->asked, c->splitsOtherwise)) {
    c->unjudged = "!# takes words where bash splits its line otherwise";
  }
}

// The plugin's answer through the keystroke handler: a beep is a failure, a line not redrawn
// runs as typed.
BashResult KeyAnswer(const std::string& line) {
  const int honks = standin::HonkCount();
  const KeyResult k = PressKey(standin::FromUtf8(line));
  if (standin::HonkCount() != honks) return {false, ""};
  return {true, k.redraw != 0 ? standin::ToUtf8(k.line) : line};
}

// The entry `e` in bash's terms: a backslash as kTextBackslash, and the separator after a drive
// (an ASCII letter and ':' at the start of the entry or after a unit that is no ASCII letter or
// digit) marked, so that where bash's :h cuts it off the mark is left to say so.
std::string EntryInBashTerms(const std::string& e) {
  auto letter = [](char u) { return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'); };
  std::string out;
  for (size_t i = 0; i < e.size(); ++i) {
    const bool drive = letter(e[i]) && i + 2 < e.size() && e[i + 1] == ':' &&
                       (e[i + 2] == '/' || e[i + 2] == '\\') &&
                       (i == 0 || !(letter(e[i - 1]) || IsDigitAt(e, i - 1)));
    if (drive) {
      out += e.substr(i, 2) + (e[i + 2] == '/' ? kDriveSlash : kDriveBackslash);
      out += e[i + 2] == '/' ? kDriveSeparator : kTextBackslash;
      i += 2;
    } else {
      out += e[i] == '\\' ? kTextBackslash : std::string(1, e[i]);
    }
  }
  return out;
}

// Asks bash with every '[' and '{' of the entries and the lines written as units bash reads as
// text too, and put back into its answers: bash also leaves a '!' alone after a '[' or "${" that
// an expansion made, where Quorvin goes by the typed line alone (whose "[!" and "${!" are text
// in the lines already).
std::vector<BashResult> AskBashTypedBrackets(std::vector<std::string> history,
                                             std::vector<BashQuery> queries) {
  auto hide = [](std::string* s) {
    std::replace(s->begin(), s->end(), '[', kBracket);
    std::replace(s->begin(), s->end(), '{', kBrace);
  };
  for (std::string& e : history) hide(&e);
  for (BashQuery& q : queries) hide(&q.line);
  std::vector<BashResult> answers = AskBash(history, queries);
  for (BashResult& a : answers) {
    std::replace(a.line.begin(), a.line.end(), kBracket, '[');
    std::replace(a.line.begin(), a.line.end(), kBrace, '{');
  }
  return answers;
}

// Puts every line of a history into bash's terms: each round asks the probes the lines need
// next, until every line is written.
void TranslateAll(const std::vector<std::string>& history, std::vector<CharCase>* cases) {
  std::vector<CharCase*> open;
  for (CharCase& c : *cases) open.push_back(&c);
  while (!open.empty()) {
    std::vector<BashQuery> queries;
    std::vector<CharCase*> asking;
    for (CharCase* c : open) {
      if (Translate(c, history.size()) || c->unjudged != nullptr) continue;
      if (++c->rounds > kMostProbes) {
        c->unjudged = "too many probes";
        continue;
      }
      asking.push_back(c);
      for (const std::string& probe : c->probes) queries.push_back({probe});
    }
    const std::vector<BashResult> answers = AskBashTypedBrackets(history, queries);
    size_t next = 0;
    for (CharCase* c : asking) {
      c->places[c->probeAt] = ReadProbe(*c, &answers[next]);
      next += c->probes.size();
    }
    open = asking;
  }
}

// Asks bash the lines in bash's terms: as the default rules read them, as bash's rules read
// them, after a search and a substitution, and with ":G" made text.
void AskAll(const std::vector<std::string>& history, std::vector<CharCase>* cases) {
  std::vector<BashQuery> queries;
  for (CharCase& c : *cases) {
    if (c.unjudged != nullptr) continue;
    const DefaultReading reading = ReadDefaultOrPrinted(c.line, history.size(), &c.byDefault);
    c.defaultReads = reading != kNotDefault;
    c.defaultUnclear = reading == kDefaultUnclear;
    const std::string& a = c.asked;
    c.askPrimed = NeedsFreshShell(a);
    // A ":G" before an 's' or '&' may substitute word by word: then bash is also asked with
    // each made text, and the line up to the first. One after a "!?" that no '?' has closed yet
    // is the search's text (seed 1065: '-!?!:Gs/o/x/x'), and so is one in the texts of a quick
    // substitution (seed 1082: '^!:Gs/o/x/c'). One before another modifier keeps its flag for
    // a later 's' or '&' of the reference, which this rule does not take apart (seed 1079:
    // '!!:Gh:p:s/a/b:&!*&0^').
    std::string text = a;
    size_t first = std::string::npos;
    for (size_t at = text.find(":G"); at != std::string::npos; at = text.find(":G", at + 1)) {
      const size_t search = a.rfind("!?", at);
      const bool inText = (search != std::string::npos && a.find('?', search + 2) > at) ||
                          (a[0] == '^' && std::count(a.begin(), a.begin() + at, '^') < 3);
      if (inText || at + 2 >= text.size()) continue;
      if (text[at + 2] == 's' || text[at + 2] == '&') {
        text[at + 1] = kProbeUnit;
        first = std::min(first, at);
      } else if (std::strchr("htreqxp", text[at + 2]) != nullptr) {
        // The reference's modifiers after it, to the first that substitutes.
        size_t next = at + 3;
        while (next + 1 < a.size() && a[next] == ':' &&
               std::strchr("htreqxp", a[next + 1]) != nullptr) {
          next += 2;
        }
        c.carriesG = c.carriesG || (next + 1 < a.size() && a[next] == ':' &&
                                    std::strchr("s&gaG", a[next + 1]) != nullptr);
      }
    }
    c.askG = first != std::string::npos;
    c.firstG = first;
    queries.push_back({a});
    if (c.askPrimed) queries.push_back({a, true});
    if (c.askG) {
      queries.push_back({text});
      queries.push_back({a.substr(0, first)});
    }
    if (c.defaultReads) queries.push_back({c.byDefault});
  }
  const std::vector<BashResult> answers = AskBashTypedBrackets(history, queries);
  size_t next = 0;
  for (CharCase& c : *cases) {
    if (c.unjudged != nullptr) continue;
    c.bash = answers[next++];
    if (c.askPrimed) c.primed = answers[next++];
    if (c.askG) {
      c.textG = answers[next++];
      c.beforeG = answers[next++];
    }
    if (c.defaultReads) c.byDefaultAnswer = answers[next++];
  }
}

// The words of bash's answer to `!!:0`, `!!:1` ... over a history of one text: each word, up to
// the first number that names none.
std::vector<std::string> WordsOf(const std::vector<BashResult>& answers, size_t from,
                                 size_t count) {
  std::vector<std::string> words;
  for (size_t i = from; i < from + count && answers[i].expanded; ++i) {
    words.push_back(answers[i].line);
  }
  return words;
}

constexpr size_t kMostWords = 40;  // more than the texts drawn here hold

// `:G` replaces once in each word: the lines where bash reads a ":G" before an 's' as a
// modifier (c->eachWord). Its reference begins at the last '!' before it that bash reads as the
// start of a reference (or at a quick substitution), and its substitution ends where bash next
// reads plain text. Then bash is asked the text the substitution applies to (the line up to the
// ":G", less the line up to the reference), its words one by one (`!!:n` over a history of that
// text alone, where a '#' begins no comment, as in bash's own :G), each word's substitution (over
// a history of the words), and last the line with the reference written as the text so made,
// as text. A reference whose substitution is not its
// last modifier, and a line whose rest reads the line so far or the latest search or
// substitution, stay unjudged.
void JudgeEachWord(const std::vector<std::string>& history, std::vector<CharCase>* cases) {
  std::vector<CharCase*> lines;
  for (CharCase& c : *cases) {
    if (!c.eachWord) continue;
    c.eachWord = false;
    const std::string& a = c.asked;
    const size_t g = c.firstG;
    const bool emptyOld = g + 4 < a.size() && a[g + 4] == a[g + 3];
    if (a[g + 2] != 's' || g + 4 >= a.size() || emptyOld) {
      c.unjudged = ":G of '&' or of an empty old text";
    } else {
      lines.push_back(&c);
    }
  }
  if (lines.empty()) return;

  // Whether bash reads the ":G" as a modifier, where each reference begins, and where its
  // substitution ends.
  std::vector<BashQuery> queries;
  for (CharCase* c : lines) {
    const std::string& a = c->asked;
    queries.push_back({a.substr(0, c->firstG) + kProbe});
    queries.push_back({a.substr(0, c->firstG) + ":" + kProbe});
    for (size_t p = 0; p < c->firstG; ++p) {
      if (a[p] == '!') queries.push_back({a.substr(0, p) + "!#" + kProbeUnit});
    }
    for (size_t q = c->firstG + 3; q <= a.size(); ++q) queries.push_back({a.substr(0, q) + kProbe});
  }
  std::vector<BashResult> answers = AskBashTypedBrackets(history, queries);
  std::vector<size_t> starts(lines.size()), ends(lines.size());
  size_t next = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& a = lines[i]->asked;
    const size_t g = lines[i]->firstG;
    const bool afterBang = g > 0 && a[g - 1] == '!';
    const bool modifier = ReadUnitProbe(':', afterBang, &answers[next]) == kModifierStart;
    next += 2;
    starts[i] = a[0] == '^' ? 0 : std::string::npos;
    for (size_t p = 0; p < g; ++p) {
      if (a[p] == '!' && CopiedLineSoFar(answers[next++])) starts[i] = p;
    }
    ends[i] = a.size();
    for (size_t q = g + 3; q <= a.size(); ++q) {
      if (EndsWith(answers[next++], kProbe) && ends[i] == a.size()) ends[i] = q;
    }
    const std::string rest = a.substr(ends[i]);
    bool readsLine = rest.find("!#") != std::string::npos || rest.find('%') != std::string::npos;
    for (const char* memory : {":&", "g&", "a&", "G&", "!??"}) {
      readsLine = readsLine || rest.find(memory) != std::string::npos;
    }
    // An empty old text: "s//", or a ":s" and its delimiter ending the line (seed 1022).
    for (size_t k = 0; k + 1 < rest.size(); ++k) {
      readsLine = readsLine ||
                  (rest[k] == 's' && k + 2 < rest.size() && rest[k + 1] == rest[k + 2]) ||
                  (k + 2 == rest.size() && k > 0 && rest[k - 1] == ':' && rest[k] == 's');
    }
    if (!modifier || starts[i] == std::string::npos) {  // the ":G" is text
      lines[i]->askG = false;
      Judge(lines[i]);
    } else if (rest[0] == ':' || readsLine) {
      lines[i]->unjudged = ":G in a reference this rule does not take apart";
    }
  }

  // The line up to each reference, and up to its ":G" (where a bare '!' is "!!").
  queries.clear();
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t g = lines[i]->firstG;
    const std::string& a = lines[i]->asked;
    queries.push_back({a.substr(0, starts[i] == std::string::npos ? 0 : starts[i])});
    queries.push_back({a.substr(0, g) + (starts[i] == g - 1 ? "!" : "")});
  }
  answers = AskBashTypedBrackets(history, queries);
  std::vector<std::string> before(lines.size()), texts(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const BashResult& upToG = answers[2 * i + 1];
    before[i] = answers[2 * i].line;
    const bool kept = answers[2 * i].expanded && upToG.expanded &&
                      upToG.line.compare(0, before[i].size(), before[i]) == 0;
    if (!kept && lines[i]->askG && lines[i]->unjudged == nullptr) {
      lines[i]->unjudged = ":G after a text bash did not keep";
    }
    texts[i] = upToG.line.substr(std::min(before[i].size(), upToG.line.size()));
  }

  // The words of each text, and each word's substitution.
  for (size_t i = 0; i < lines.size(); ++i) {
    CharCase* c = lines[i];
    if (c->unjudged != nullptr || !c->askG) continue;
    queries.clear();
    for (size_t n = 0; n < kMostWords; ++n) queries.push_back({"!!:" + std::to_string(n)});
    // A '#' that begins a word begins no comment here, as in bash's own :G, and a single quote
    // (one that :q or :x wrote too) is an ordinary character.
    std::string text = texts[i];
    std::replace(text.begin(), text.end(), '#', kTextHash);
    std::replace(text.begin(), text.end(), '\'', kTextSingleQuote);
    std::vector<std::string> words = WordsOf(AskBashTypedBrackets({text}, queries), 0, kMostWords);
    for (std::string& word : words) {
      std::replace(word.begin(), word.end(), kTextHash, '#');
      std::replace(word.begin(), word.end(), kTextSingleQuote, '\'');
    }
    const std::string chain = c->asked.substr(c->firstG + 2, ends[i] - c->firstG - 2);
    queries.clear();
    for (size_t n = 0; n < words.size(); ++n) {
      queries.push_back({"!" + std::to_string(n + 1) + ":" + chain});
    }
    const std::vector<BashResult> made = AskBashTypedBrackets(words, queries);
    text.clear();
    size_t at = 0;
    bool found = false;
    for (size_t n = 0; n < words.size(); ++n) {
      const size_t word = texts[i].find(words[n], at);
      if (word == std::string::npos) break;
      text += texts[i].substr(at, word - at) + (made[n].expanded ? made[n].line : words[n]);
      at = word + words[n].size();
      found = found || made[n].expanded;
    }
    text += texts[i].substr(at);
    if (!found) {  // no word holds the old text
      c->rules |= 1u << kEachWord;
      c->expected = {false, ""};
      continue;
    }

    // The line with the reference as the text made, all of it text.
    std::string asText;
    for (char u : before[i] + text) asText += u == '[' || u == '{' ? std::string(1, u) : TextOf(u);
    if (asText[0] == '^') {
      c->unjudged = ":G made a line that begins with '^'";
      continue;
    }
    const BashResult answer =
        AskBashTypedBrackets(history, {{asText + c->asked.substr(ends[i])}})[0];
    c->rules |= 1u << kEachWord;
    c->expected = answer.expanded ? BashResult{true, Unmask(*c, answer.line)} : answer;
    if (answer.timedOut || answer.crashed) c->unjudged = "bash ran out of time";
  }
}

TEST_F(BashOracle, BashModeAgreesWithBashCharacterByCharacter) {
  const uint64_t seed = Seed();
  const int cases = Cases("QUORVIN_ORACLE_CHAR_CASES", kDefaultCharCases);
  printf("character-level oracle: seed %llu, %d lines\n", static_cast<unsigned long long>(seed),
         cases);
  Random r{seed};
  PluginSettings.countingBase = 1;
  PluginSettings.caseInsensitive = 0;
  PluginSettings.executeOnFailure = 1;
  PluginSettings.errorBeepMode = BeepDefault;
  standin::SetVariable(u"QUORVIN_EXPAND", u"bash");
  for (RuleRow& rule : kRules) rule.lines = 0;

  int judged = 0, alike = 0, asTyped = 0, unjudged = 0, failures = 0, done = 0;
  for (int batch = 0; done < cases; ++batch) {
    const size_t count = r.Chance(5) ? 0 : 1 + r.Below(r.Chance(80) ? 5 : 12);
    std::vector<std::string> history;
    for (size_t i = 0; i < count; ++i) history.push_back(CharEntry(&r));
    std::vector<CharCase> batchCases;
    for (int i = 0; i < kCharLinesPerHistory && done + i < cases; ++i) {
      batchCases.emplace_back();
      batchCases.back().line = CharLine(&r);
    }
    std::vector<std::u16string> entries;
    for (const std::string& e : history) entries.push_back(standin::FromUtf8(e));
    standin::SetHistory(entries);
    for (CharCase& c : batchCases) c.plugin = KeyAnswer(c.line);
    std::vector<std::string> asked;  // the entries in bash's terms
    for (const std::string& e : history) asked.push_back(EntryInBashTerms(e));
    TranslateAll(asked, &batchCases);
    AskAll(asked, &batchCases);
    for (CharCase& c : batchCases) {
      c.meetsStandIn = MeetsStandIn(c.asked, history, asked) ||
                       (c.defaultReads && MeetsStandIn(c.byDefault, history, asked));
    }
    for (CharCase& c : batchCases) Judge(&c);
    JudgeEachWord(asked, &batchCases);

    for (CharCase& c : batchCases) {
      ++done;
      if (c.unjudged != nullptr) {
        if (++unjudged <= 10) printf("  unjudged (%s): %s\n", c.unjudged, c.line.c_str());
        continue;
      }
      ++judged;
      for (int rule = 0; rule < kRuleCount; ++rule) {
        if ((c.rules & (1u << rule)) != 0) ++kRules[rule].lines;
      }
      if (c.rules == 0) ++asTyped;
      if (c.plugin.expanded == c.expected.expanded &&
          (!c.expected.expanded || c.plugin.line == c.expected.line)) {
        ++alike;
        continue;
      }
      if (++failures > 30) continue;
      const bool byDefault = c.defaultReads && c.byDefaultAnswer.expanded;
      std::string replay;
      for (const bool typed : {true, false}) {
        replay += "\nLC_ALL=C.UTF-8 bash <<'EOF'\nset -o history -o histexpand\n";
        for (const std::string& e : typed ? history : asked) {
          replay += "history -s -- " + (typed ? Quoted(e) : ShellQuoted(e)) + "\n";
        }
        replay += "history -p -- " +
                  (typed ? Quoted(c.line) : ShellQuoted(byDefault ? c.byDefault : c.asked)) +
                  "\nEOF";
      }
      std::string rules;
      for (int rule = 0; rule < kRuleCount; ++rule) {
        if ((c.rules & (1u << rule)) != 0) rules += std::string("\n    ") + kRules[rule].row;
      }
      ADD_FAILURE() << "seed " << seed << ", history " << batch << ", line " << c.line
                    << "\n  asked:    " << ShellQuoted(byDefault ? c.byDefault : c.asked)
                    << "\n  bash:     " << Describe(byDefault ? c.byDefaultAnswer : c.bash)
                    << "\n  expected: " << Describe(c.expected)
                    << "\n  plugin:   " << Describe(c.plugin)
                    << "\n  rules:" << (rules.empty() ? " none" : rules)
                    << "\n  replay (the line as typed, then as asked):" << replay;
    }
  }
  printf(
      "character-level oracle: %d lines: %d judged (%d as bash gives them, %d by the rules), %d "
      "alike, %d differ; %d unjudged (%.2f%%)\n",
      done, judged, asTyped, judged - asTyped, alike, failures, unjudged,
      done > 0 ? 100.0 * unjudged / done : 0.0);
  for (const RuleRow& rule : kRules) printf("  judged by rule %6d: %s\n", rule.lines, rule.row);
  EXPECT_EQ(failures, 0);
  EXPECT_LT(unjudged * 100, done);
}

// ==== This shell's paths ====
// :h :t :r :e on words of this shell's paths (drives, UNC names, '\' and '/' mixed, '.' in folder
// names, characters beyond the BMP) in chains of one to four, judged one modifier at a time by
// bash's result on the word with every '\' turned into '/' (a prefix of it for :h and :r, a
// suffix for :t and :e, taken from the word as typed) and the drive rule on top: an :h whose last
// separator follows a drive keeps it (C:\), the drive's letter at the start of the word or after
// a unit that is no letter or digit. The same seed variable; QUORVIN_ORACLE_PATH_CASES sets the
// number of words (4000 by default).

constexpr int kDefaultPathCases = 4000;
constexpr size_t kPathStepsPerBash = 1000;  // one bash judges this many steps

std::string PathWord(Random* r) {
  static const char* const kStarts[] = {
      "C:", "c:", "Z:", "1:", "\xc3\xa9:", "C:\\", "C:/", "\\\\", "//", "\\\\srv\\sh"};
  static const char* const kPieces[] = {"a",   "b",   "x.y",  ".",        "\\", "\\",
                                        "/",   "..",  "c.d",  "\xc3\xa9", "\\", "\xf0\x9f\x98\x80",
                                        " C:", "=d:", "\"E:", "a:",       "7f:"};
  std::string w = r->Chance(35) ? kStarts[r->Below(sizeof kStarts / sizeof kStarts[0])] : "";
  const size_t pieces = r->Below(7);
  for (size_t i = 0; i < pieces; ++i) w += kPieces[r->Below(sizeof kPieces / sizeof kPieces[0])];
  return w;
}

// Bash's answer to !!:m over a history of each word alone, for every (word, m) of `steps`, the
// words already turned to '/'; an empty word has no separator and no '.' to find.
std::vector<std::string> BashPathSteps(const std::vector<std::pair<std::string, char>>& steps) {
  std::vector<std::string> answers;
  for (size_t from = 0; from < steps.size(); from += kPathStepsPerBash) {
    std::string script = "ulimit -t " + std::to_string(kBashCpuSeconds) +
                         "; set -o history -o histexpand; history -c\n";
    const size_t to = std::min(steps.size(), from + kPathStepsPerBash);
    for (size_t i = from; i < to; ++i) {
      script += "history -s -- " + Quoted(steps[i].first.empty() ? "-" : steps[i].first) +
                "\nhistory -p -- '!!:" + steps[i].second + "' || echo '<failed>'\n";
    }
    BashProcess p;
    EXPECT_TRUE(StartBash(script, &p)) << "bash could not be started";
    char chunk[65536];
    for (ssize_t got; (got = read(p.out, chunk, sizeof chunk)) > 0;) {
      p.text.append(chunk, static_cast<size_t>(got));
    }
    close(p.out);
    waitpid(p.pid, nullptr, 0);
    size_t at = 0;
    for (size_t i = from; i < to; ++i) {
      const size_t end = std::min(p.text.find('\n', at), p.text.size());
      answers.push_back(steps[i].first.empty() ? "" : p.text.substr(at, end - at));
      at = end + 1;
    }
  }
  return answers;
}

TEST_F(BashOracle, PathModifiersAgreeWithBashOnThisShellsPaths) {
  const uint64_t seed = Seed();
  const int cases = Cases("QUORVIN_ORACLE_PATH_CASES", kDefaultPathCases);
  printf("path oracle: seed %llu, %d words\n", static_cast<unsigned long long>(seed), cases);
  Random r{seed};
  std::vector<std::string> words, chains, expected;
  for (int i = 0; i < cases; ++i) {
    words.push_back(PathWord(&r));
    chains.push_back(RandomText(&r, 1 + r.Below(4), "htre"));
    expected.push_back(words.back());
  }
  for (size_t step = 0; step < 4; ++step) {
    std::vector<std::pair<std::string, char>> asked;
    std::vector<size_t> whose;
    for (size_t i = 0; i < words.size(); ++i) {
      if (step >= chains[i].size()) continue;
      std::string slashed = expected[i];
      for (char& c : slashed) c = c == '\\' ? '/' : c;
      asked.emplace_back(slashed, chains[i][step]);
      whose.push_back(i);
    }
    const std::vector<std::string> answers = BashPathSteps(asked);
    for (size_t k = 0; k < whose.size(); ++k) {
      std::string& word = expected[whose[k]];
      const char m = asked[k].second;
      const std::string& bash = answers[k];
      const bool prefix = m == 'h' || m == 'r';
      ASSERT_EQ(prefix ? asked[k].first.compare(0, bash.size(), bash)
                       : asked[k].first.compare(word.size() - std::min(bash.size(), word.size()),
                                                std::string::npos, bash),
                0)
          << "bash's " << m << " of " << asked[k].first << ": " << bash;
      const size_t last = word.find_last_of("/\\");
      auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
      const bool drive = last != std::string::npos && last >= 2 && word[last - 1] == ':' &&
                         letter(word[last - 2]) &&
                         (last == 2 || !(letter(word[last - 3]) || std::isdigit(word[last - 3])));
      word = m == 'h' && drive ? word.substr(0, last + 1)
             : prefix          ? word.substr(0, bash.size())
                               : word.substr(word.size() - bash.size());
    }
  }
  int failures = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    standin::SetHistory({standin::FromUtf8(words[i])});
    std::string line = "!!";
    for (char m : chains[i]) line += std::string(":") + m;
    const BashResult p = BashModeExpand(line);
    if (p.expanded && p.line == expected[i]) continue;
    if (++failures <= 20) {
      ADD_FAILURE() << "seed " << seed << ", word " << words[i] << ", " << line
                    << "\n  bash and the drive rule: '" << expected[i]
                    << "'\n  plugin: " << Describe(p);
    }
  }
  printf("path oracle: %d words, %d differ\n", cases, failures);
  EXPECT_EQ(failures, 0);
}

}  // namespace
