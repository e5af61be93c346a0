// The budget of one expansion: every unit the engine examines (compares, copies, scans, walks)
// is counted against it, so that no line, however it is built, holds the shell.
#pragma once

#include <cstdint>

#include "host/host_api.h"
#include "text/work.h"

// Units of work allowed for each unit of the history walked and for each unit of the shell's
// line. No line a person types comes near it; a line built to exceed it fails as every failure
// does.
constexpr uint64_t kBudgetPerUnit = 16;

// The most the shell's case-blind search may compare for each unit it searches. Each of its
// compares folds two units in the shell, which costs more than a unit of the plugin's work, and
// what it compares cannot be counted from outside: so it is asked only where a simple search
// would compare at most this many units a unit (every text a person types), and the texts built
// against such a search are searched by the plugin itself, folding as the shell folds.
constexpr uint64_t kShellSearchShare = 4;

struct Budget {
  uint64_t left;      // units still allowed; spent by Spend, added to by Grant
  bool over = false;  // a Spend asked for more than was left: the line fails

  // Counts `units`; false once the budget is spent, and from then on for any count, none too.
  // The budget is sticky: a caller may ignore the result of a Spend whose work is done anyway
  // (a cheap step whose cost only keeps the count honest), because the next Spend that matters,
  // and every one after it, fails, and so does the line.
  bool Spend(uint64_t units) {
    work::Charged(units);
    if (over || units > left) {
      left = 0;
      over = true;
      return false;
    }
    left -= units;
    return true;
  }

  // Adds what `units` of walked history allow. Grant multiplies and Spend does not: a unit of
  // the history earns kBudgetPerUnit units of work, while a unit of work costs one.
  void Grant(uint64_t units) { left += units * kBudgetPerUnit; }

  bool Spent() const { return over; }
};

// A budget for one expansion, before any walk of the history: the line's share.
inline Budget StartBudget() {
  return Budget{kBudgetPerUnit * kLineCapacity};
}
