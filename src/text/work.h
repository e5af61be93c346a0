// The count of the engine's work, kept only in the counting build (QUORVIN_COUNT_WORK: the unit
// tests and the fuzzers), where it shows that the budget counts what is done: every loop that
// reads, compares, copies or steps adds its units to `done`, and every unit a budget is asked
// for adds to `charged`, each on its own. Elsewhere both are nothing.
#pragma once

#include <cstdint>

namespace work {

#ifdef QUORVIN_COUNT_WORK
extern uint64_t done;     // units of work the engine's loops (and the stand-in's) have done
extern uint64_t charged;  // units asked of budgets
inline void Done(uint64_t units) {
  done += units;
}
inline void Charged(uint64_t units) {
  charged += units;
}
#else
inline void Done(uint64_t) {}
inline void Charged(uint64_t) {}
#endif

}  // namespace work
