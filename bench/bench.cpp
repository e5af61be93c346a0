// Speed of the keystroke handler: a key on an ordinary line, every reference form (those of
// bash mode too) on histories of growing size, each beside the floor (one bare walk of the same
// history) and beside GNU readline's history_expand on the same entries, and the worst lines of
// bash mode against the floor.
#include <benchmark/benchmark.h>
#include <readline/history.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "alloc_counter.h"
#include "keys/keys.h"
#include "plugin/plugin.h"
#include "shell/standin_shell.h"
#include "workload.h"

namespace {

// Histories made so far, by size; each is made once and shared by the stand-in and readline.
const std::vector<std::u16string>& History(size_t size) {
  static std::map<size_t, std::vector<std::u16string>> made;
  auto found = made.find(size);
  if (found == made.end()) found = made.emplace(size, workload::MakeHistory(size)).first;
  return found->second;
}

// The history size loaded in the stand-in shell and in readline's list; changed only by
// LoadStandin and LoadReadline, so that benchmarks of one size share one load.
size_t standinSize = 0;
size_t readlineSize = 0;

// The edit line and key record of every keystroke measured; too large for the stack.
workload::Keystroke keystroke;

void LoadStandin(size_t size) {
  if (standinSize == size) return;
  standin::Reset();
  standin::SetHistory(History(size));
  standinSize = size;
}

std::string Narrow(const std::u16string& s) {
  return std::string(s.begin(), s.end());
}

void LoadReadline(size_t size) {
  if (readlineSize == size) return;
  clear_history();
  for (const std::u16string& entry : History(size)) add_history(Narrow(entry).c_str());
  using_history();
  readlineSize = size;
}

// Set when a benchmark found a wrong result; makes the program's exit status 1, so that a
// short run can serve as a check.
bool failed = false;

void Fail(benchmark::State& state, const std::string& what) {
  failed = true;
  state.SkipWithError(what.c_str());
}

void CountAllocations(benchmark::State& state, const alloc::Tally& before) {
  const alloc::Tally tally = alloc::Since(before);
  // A block grown by realloc stays one block.
  state.counters["allocs"] = benchmark::Counter(
      static_cast<double>(tally.allocations - tally.resizes), benchmark::Counter::kAvgIterations);
}

// ==== A key that expands nothing ====

// The keys measured, each with bash mode off and on (its name then ends in "_bash").
struct QuietKey {
  const char* name;
  const char16_t* line;  // the edit line
  int keyCode;
  long cursor = -1;                // where the cursor stands; -1: at the end of the line
  const char16_t* keys = nullptr;  // QUORVIN_KEYS, or null: unset
};
constexpr char16_t kPlainLine[] = u"dir /s c:\\users\\ann\\documents\\*.txt";
constexpr QuietKey kQuietKeys[] = {
    // A key on a line being typed: decided from the first unit and the key.
    {"key/plain_line", kPlainLine, 'x'},
    // A key on a line that begins with a bang while it is typed: the handler reads the
    // modifier keys and finds no Enter.
    {"key/bang_line_other_key", u"!xco", 'p'},
    // Enter on a line without a bang that does not begin with '^': one scan of the line finds
    // no bang, so no rule of either mode applies and the shell is not asked for the mode.
    {"key/enter_plain_line", kPlainLine, kKeyEnter},
    // Enter on a line whose only bang is no reference (inside quotes): the line may hold one,
    // so the shell is asked for the mode; in bash mode the line is searched for a reference,
    // finds none and runs as typed.
    {"key/enter_quoted_bang", u"echo \"hello world!\"", kKeyEnter},
    // Space, with QUORVIN_KEYS unset: on a line without a bang one scan finds none and no
    // variable is read; on a line with one the shell is asked for QUORVIN_KEYS, which asks for
    // nothing.
    {"key/space_plain_line", kPlainLine, ' '},
    {"key/space_bang_line", u"echo !$ and more", ' '},
    // Space and Tab asked to expand in place, with the cursor before the line's only reference:
    // the text before the cursor holds none, which one scan of the line tells, without a walk of
    // the history (bash mode reads both variables first).
    {"key/space_before_reference", u"echo and more !$", ' ', 9, u"space tab"},
    {"key/tab_before_reference", u"echo and more !$", '\t', 9, u"space tab"},
};

// One key of kQuietKeys; the record is set once, as `key` changes nothing.
void KeyThatExpandsNothing(benchmark::State& state, const QuietKey& k, bool bash) {
  workload::SetBashMode(bash);
  if (k.keys != nullptr) standin::SetVariable(u"QUORVIN_KEYS", k.keys);
  workload::Type(&keystroke, k.line, k.keyCode);
  if (k.cursor >= 0) keystroke.event.cursor = keystroke.line + k.cursor;
  const alloc::Tally before = alloc::Now();
  for (auto _ : state) {
    key(&keystroke.event);
    benchmark::ClobberMemory();
  }
  CountAllocations(state, before);
  if (keystroke.event.key != k.keyCode || keystroke.line != std::u16string(k.line)) {
    Fail(state, "the key or the line was changed");
  }
  workload::SetBashMode(false);
  standin::RemoveVariable(u"QUORVIN_KEYS");
}

// ==== The floor ====

// One walk from the oldest entry to the newest through the shell's two history functions:
// the least any expansion can cost, since the shell offers no other way into its list.
// Returns the number of entries.
size_t Walk() {
  size_t entries = 0;
  for (char16_t* entry = HistoryStart(); entry != nullptr;) {
    ++entries;
    char16_t* next = NextHistoryEntry(entry);
    entry = next == entry ? nullptr : next;
  }
  return entries;
}

void Floor(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  LoadStandin(size);
  size_t entries = 0;
  for (auto _ : state) {
    entries = Walk();
    benchmark::DoNotOptimize(entries);
  }
  if (entries != size) Fail(state, "the walk missed entries");
}

// Measures `measured` against the floor on a machine whose speed drifts: every iteration first
// walks the history once (the floor) and then runs `measured`, each timed on its own with the
// steady clock. The benchmark's time is that of `measured` alone (manual time). Returns the
// mean time of the walks, taken microseconds away from it, so that their ratio, the multiple
// of the floor, does not depend on the spell it fell into; the caller reports it as the counter
// "floor".
template <typename Measured>
benchmark::Counter AgainstTheFloor(benchmark::State& state, Measured measured) {
  using Clock = std::chrono::steady_clock;
  Clock::duration floor{};
  size_t entries = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    entries = Walk();
    benchmark::DoNotOptimize(entries);
    const Clock::time_point walked = Clock::now();
    measured();
    const Clock::time_point end = Clock::now();
    floor += walked - start;
    state.SetIterationTime(std::chrono::duration<double>(end - walked).count());
  }
  // In microseconds per iteration.
  return benchmark::Counter(std::chrono::duration<double, std::micro>(floor).count(),
                            benchmark::Counter::kAvgIterations);
}

// The shell's share of a case-insensitive containment search: the same walk with one call of
// the shell's _stristr per entry, which the plugin cannot avoid (the shell's folding rules
// decide the match).
void FloorStristr(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  LoadStandin(size);
  size_t found = 0;
  const benchmark::Counter floor = AgainstTheFloor(state, [&found] {
    found = 0;
    for (char16_t* entry = HistoryStart(); entry != nullptr;) {
      found += _stristr(entry, u"Nightly") != nullptr;
      char16_t* next = NextHistoryEntry(entry);
      entry = next == entry ? nullptr : next;
    }
    benchmark::DoNotOptimize(found);
  });
  state.counters["floor"] = floor;
  if (found != 1) Fail(state, "the word is not in exactly one entry");
}

// ==== The reference forms ====

// Enter on `line`, checked once to give `expected` (else the benchmark fails, naming `what`),
// then measured against the floor; the line is typed again before every press, as the
// expansion replaces it.
void PressAgainstTheFloor(benchmark::State& state, const std::u16string& line,
                          const std::u16string& expected, const std::string& what) {
  workload::Type(&keystroke, line, kKeyEnter);
  key(&keystroke.event);
  if (keystroke.line != expected) {
    Fail(state, "wrong expansion of " + what);
    return;
  }
  const alloc::Tally before = alloc::Now();
  const benchmark::Counter floor = AgainstTheFloor(state, [&line] {
    workload::Type(&keystroke, line, kKeyEnter);
    key(&keystroke.event);
    benchmark::ClobberMemory();
  });
  CountAllocations(state, before);  // before the counter below takes its own block
  state.counters["floor"] = floor;
}

// One Enter on the reference line of `form`, against the floor.
void Quorvin(benchmark::State& state, workload::Form form) {
  const size_t size = static_cast<size_t>(state.range(0));
  LoadStandin(size);
  const workload::Case c = workload::MakeCase(form, History(size));
  workload::ApplySettings(c);
  state.SetLabel(Narrow(c.line));
  PressAgainstTheFloor(state, c.line, c.expected, Narrow(c.line));
}

// ==== Worst lines ====

// One Enter on a worst line of bash mode over the history made for it, against the floor of
// that history.
void Worst(benchmark::State& state, workload::WorstLine line) {
  const size_t size = static_cast<size_t>(state.range(0));
  const workload::WorstCase c = workload::MakeWorstCase(line, size);
  standin::Reset();
  standin::SetHistory(c.history);
  standinSize = 0;  // the next LoadStandin sets its own history again
  PluginSettings = kDefaultSettings;
  PluginSettings.caseInsensitive = c.caseInsensitive ? 1 : 0;
  workload::SetBashMode(c.bashMode);
  state.SetLabel(c.id);
  PressAgainstTheFloor(state, c.line, c.expected, std::string("the worst line ") + c.id);
  workload::SetBashMode(false);
  PluginSettings = kDefaultSettings;
}

// readline's history_expand on the same entries and the same reference.
void Readline(benchmark::State& state, workload::Form form) {
  const size_t size = static_cast<size_t>(state.range(0));
  LoadReadline(size);
  const workload::Case c = workload::MakeCase(form, History(size));
  state.SetLabel(c.readlineLine);

  char line[256];
  snprintf(line, sizeof line, "%s", c.readlineLine.c_str());
  char* output = nullptr;
  const int status = history_expand(line, &output);
  const bool right = status == 1 && output != nullptr && output == Narrow(c.expected);
  free(output);
  if (!right) {
    Fail(state, "wrong expansion of " + c.readlineLine);
    return;
  }

  const alloc::Tally before = alloc::Now();
  for (auto _ : state) {
    snprintf(line, sizeof line, "%s", c.readlineLine.c_str());
    history_expand(line, &output);
    free(output);
    benchmark::ClobberMemory();
  }
  CountAllocations(state, before);
}

// Readline has no case-insensitive search: the folded forms are compared with its one.
bool ReadlineHasForm(workload::Form form) {
  return form != workload::kPrefixFolded && form != workload::kContainsFolded;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  for (bool bash : {false, true}) {
    for (const QuietKey& k : kQuietKeys) {
      const std::string name = std::string(k.name) + (bash ? "_bash" : "");
      benchmark::RegisterBenchmark(name.c_str(), KeyThatExpandsNothing, k, bash);
    }
  }
  const std::vector<std::u16string>& small = History(workload::kHistorySizes[0]);
  for (size_t size : workload::kHistorySizes) {
    const auto arg = static_cast<int64_t>(size);
    benchmark::RegisterBenchmark("floor", Floor)->Arg(arg)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("floor_stristr", FloorStristr)
        ->Arg(arg)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    for (int f = 0; f < workload::kFormCount; ++f) {
      const auto form = static_cast<workload::Form>(f);
      const std::string id = workload::MakeCase(form, small).id;
      benchmark::RegisterBenchmark(("quorvin/" + id).c_str(), Quorvin, form)
          ->Arg(arg)
          ->UseManualTime()
          ->Unit(benchmark::kMicrosecond);
    }
    for (int f = 0; f < workload::kFormCount; ++f) {
      const auto form = static_cast<workload::Form>(f);
      if (!ReadlineHasForm(form)) continue;
      const std::string id = workload::MakeCase(form, small).id;
      benchmark::RegisterBenchmark(("readline/" + id).c_str(), Readline, form)
          ->Arg(arg)
          ->Unit(benchmark::kMicrosecond);
    }
  }
  for (size_t size : workload::kWorstSizes) {
    for (int w = 0; w < workload::kWorstCount; ++w) {
      const auto line = static_cast<workload::WorstLine>(w);
      const std::string id = workload::MakeWorstCase(line, 100).id;
      benchmark::RegisterBenchmark(("worst/" + id).c_str(), Worst, line)
          ->Arg(static_cast<int64_t>(size))
          ->UseManualTime()
          ->Unit(benchmark::kMicrosecond);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return failed ? 1 : 0;
}
