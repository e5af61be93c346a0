// Counts the heap blocks one keystroke takes: none for any reference without a modifier, one
// block of two line buffers for the substitution with one or several, and for a line of bash
// mode one block of work buffers and one for the index of the history; none for a line without
// a reference. A separate executable, because it replaces the process's heap functions to count
// them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "alloc_counter.h"
#include "keys/keys.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "shell/standin_shell.h"
#include "workload.h"

namespace {

// The sizes checked: every size of the benchmarks but the largest, which adds only time.
constexpr size_t kSizes[] = {100, 1000, 10000};

constexpr size_t kWorkBufferBytes = kLineCapacity * sizeof(char16_t);

// Bytes the index of a history of `entries` may ask for in all, growing by doubling from 1024
// pointers: less than twice its last size, which is less than twice the entries.
size_t IndexBytes(size_t entries) {
  return 4 * sizeof(char16_t*) * std::max<size_t>(entries, 1024);
}

// New blocks a call took: reallocs of a held block grow it and take none.
size_t Blocks(const alloc::Tally& t) {
  return t.allocations - t.resizes;
}

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
      EXPECT_EQ(Blocks(p.tally), c.blocks);
      EXPECT_LE(p.tally.bytes,
                c.allowedBuffers * kWorkBufferBytes + (c.bashMode ? IndexBytes(size) : 0));
      EXPECT_EQ(p.tally.frees, p.tally.allocations) << "a block was not released";
    }
  }
}

// The substitution takes its two work buffers as one block on every call, for one modifier or
// several, and gives it back.
TEST_F(Allocations, SubstitutionTakesOneBlockOfTwoWorkBuffers) {
  const std::vector<std::u16string> history = workload::MakeHistory(100);
  standin::SetHistory(history);
  const workload::Case c = workload::MakeCase(workload::kSubstitute, history);
  workload::ApplySettings(c);
  for (const std::u16string more : {u"", u":s/newdir/n/:s/n/newdir/"}) {
    const Pressed p = Press(keystroke_.get(), c.line + more, kKeyEnter);
    EXPECT_EQ(p.line, c.expected);
    EXPECT_EQ(p.tally.allocations, 1u);
    EXPECT_EQ(p.tally.bytes, 2 * kWorkBufferBytes);
    EXPECT_EQ(p.tally.frees, 1u);
  }
}

// A line of bash mode takes its work buffers as one block and the index of the history as one
// more, whether its references resolve or not (with the beep off: the stand-in's sound service
// keeps a list of requests on the heap), and gives both back; a line whose only reference is
// !# needs no index.
TEST_F(Allocations, BashLineTakesTwoBlocksAndGivesThemBack) {
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
    EXPECT_EQ(Blocks(p.tally), 2u);
    EXPECT_LE(p.tally.bytes, c.allowedBuffers * kWorkBufferBytes + IndexBytes(100));
    EXPECT_EQ(p.tally.frees, p.tally.allocations);
  }
  const Pressed p = Press(keystroke_.get(), u"echo x !#:1", kKeyEnter);
  EXPECT_EQ(p.line, u"echo x x");
  EXPECT_EQ(p.tally.allocations, 1u);
  EXPECT_EQ(p.tally.frees, 1u);
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
