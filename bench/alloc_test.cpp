// Counts the heap blocks one keystroke takes: none for any reference without a modifier, at
// most the two work buffers of the substitution with one, one block of work buffers for a
// line of bash mode and none for a bash-mode line without a reference. A separate executable,
// because it replaces the process's heap functions to count them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "alloc_counter.h"
#include "history/history.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "shell/standin_shell.h"
#include "workload.h"

namespace {

// The sizes checked: every size of the benchmarks but the largest, which adds only time.
constexpr size_t kSizes[] = {100, 1000, 10000};

constexpr size_t kWorkBufferBytes = kLineCapacity * sizeof(char16_t);

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// One keystroke on `text`, and what the heap saw during the call to `key` alone.
struct Pressed {
  std::u16string line;  // the line afterwards
  alloc::Tally tally;   // the heap during the call
};

Pressed Press(workload::Keystroke* k, const std::u16string& text, int keyCode) {
  workload::Type(k, text, keyCode);
  const alloc::Tally before = alloc::Now();
  key(&k->event);
  const alloc::Tally tally = alloc::Since(before);
  return Pressed{k->line, tally};
}

class Allocations : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    PluginSettings = kDefaultSettings;
    HostMajorVersion = 0;
    keystroke_ = std::make_unique<workload::Keystroke>();
  }

  std::unique_ptr<workload::Keystroke> keystroke_;  // too large for the stack
};

// The counter must see blocks, or every other test here would pass by seeing none.
TEST(AllocationCounter, CountsMallocAndNew) {
  const alloc::Tally before = alloc::Now();
  // Kept in volatile pointers, so that the compiler cannot leave out the pairs.
  void* volatile block = std::malloc(100);
  int* volatile number = new int(7);
  EXPECT_EQ(*number, 7);
  delete number;
  std::free(block);
  const alloc::Tally tally = alloc::Since(before);
  EXPECT_EQ(tally.allocations, 2u);
  EXPECT_EQ(tally.frees, 2u);
  EXPECT_GE(tally.bytes, 100 + sizeof(int));
}

TEST_F(Allocations, EveryFormAtMostItsAllowance) {
  for (size_t size : kSizes) {
    const std::vector<std::u16string> history = workload::MakeHistory(size);
    standin::SetHistory(history);
    for (int f = 0; f < workload::kFormCount; ++f) {
      const workload::Case c = workload::MakeCase(static_cast<workload::Form>(f), history);
      workload::ApplySettings(c);
      const Pressed p = Press(keystroke_.get(), c.line, kKeyEnter);
      SCOPED_TRACE(Narrow(c.line) + " (" + c.id + ") on " + std::to_string(size) + " entries");
      EXPECT_EQ(p.line, c.expected);
      EXPECT_LE(p.tally.allocations, c.allowedAllocations);
      EXPECT_LE(p.tally.bytes, c.allowedBuffers * kWorkBufferBytes);
      EXPECT_EQ(p.tally.frees, p.tally.allocations) << "a block was not released";
    }
  }
}

// The substitution takes its two work buffers on every call and gives them back.
TEST_F(Allocations, SubstitutionTakesTwoWorkBuffers) {
  const std::vector<std::u16string> history = workload::MakeHistory(100);
  standin::SetHistory(history);
  const workload::Case c = workload::MakeCase(workload::kSubstitute, history);
  workload::ApplySettings(c);
  const Pressed p = Press(keystroke_.get(), c.line, kKeyEnter);
  EXPECT_EQ(p.line, c.expected);
  EXPECT_EQ(p.tally.allocations, 2u);
  EXPECT_EQ(p.tally.bytes, 2 * kWorkBufferBytes);
  EXPECT_EQ(p.tally.frees, 2u);
}

// A line of bash mode takes its work buffers as one block, whether its references resolve or
// not (with the beep off: the stand-in's sound service keeps a list of requests on the heap),
// and gives it back.
TEST_F(Allocations, BashLineTakesOneBlockAndGivesItBack) {
  const std::vector<std::u16string> history = workload::MakeHistory(100);
  standin::SetHistory(history);
  const workload::Case c = workload::MakeCase(workload::kBashWords, history);
  workload::ApplySettings(c);
  PluginSettings.errorBeepMode = BeepNone;
  const char16_t* const lines[] = {
      c.line.c_str(),        // expands
      u"echo !nosuchword",   // a failing search
      u"echo !!:99",         // a word that does not exist
      u"^nosuchword^other",  // a quick substitution that finds nothing
  };
  for (const char16_t* line : lines) {
    const Pressed p = Press(keystroke_.get(), line, kKeyEnter);
    SCOPED_TRACE(Narrow(line));
    EXPECT_EQ(p.line, line == c.line.c_str() ? c.expected : std::u16string(line));
    EXPECT_EQ(p.tally.allocations, 1u);
    EXPECT_LE(p.tally.bytes, c.allowedBuffers * kWorkBufferBytes);
    EXPECT_EQ(p.tally.frees, 1u);
  }
}

// Keys that expand nothing, and an expansion of the default rules that fails (with the beep
// off), take nothing either, in both modes.
TEST_F(Allocations, KeysThatExpandNothingTakeNothing) {
  standin::SetHistory(workload::MakeHistory(100));
  PluginSettings.errorBeepMode = BeepNone;
  struct KeyCase {
    const char16_t* line;
    int keyCode;
    bool bashMode;
  };
  const KeyCase cases[] = {
      {u"dir /s *.txt", kKeyEnter, false},  // no bang
      {u"dir /s *.txt", 'x', false},
      {u"!xco", 'p', false},               // a bang line while it is typed
      {u"!nosuchword", kKeyEnter, false},  // a failing search
      {u"!99999", kKeyEnter, false},       // beyond the newest entry
      {u"!!:x", kKeyEnter, false},         // a rejected modifier
      {u"echo !$", kKeyEnter, false},      // bash's form, with the mode off
      // Bash mode: keys that are not Enter, and lines without a reference.
      {u"dir /s *.txt", kKeyEnter, true},
      {u"echo !$", '$', true},
      {u"echo \"hi!\"", kKeyEnter, true},  // a bang inside quotes
      {u"echo ! x", kKeyEnter, true},      // a bang before a blank
      {u"echo ^!x", kKeyEnter, true},      // a bang after the escape character
  };
  for (const KeyCase& k : cases) {
    workload::SetBashMode(k.bashMode);
    const Pressed p = Press(keystroke_.get(), k.line, k.keyCode);
    SCOPED_TRACE(Narrow(k.line) + (k.bashMode ? " (bash mode)" : ""));
    EXPECT_EQ(p.line, k.line);
    EXPECT_EQ(p.tally.allocations, 0u);
  }
}

}  // namespace
