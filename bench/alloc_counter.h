// Counts the heap allocations of this process, so the benchmarks and the allocation test can
// say how many blocks one expansion takes from the heap. The blocks the shell takes and gives
// back while it expands variables for the plugin are the shell's and are not counted.
#pragma once

#include <cstddef>

namespace alloc {

// What the heap saw between two snapshots.
struct Tally {
  size_t allocations;  // malloc, calloc, realloc and aligned requests (operator new included)
  size_t resizes;      // of them, reallocs of a block already held (it is freed at once)
  size_t frees;        // free of a non-null block, the one a realloc replaces included
  size_t bytes;        // bytes requested by the allocations
};

// The totals since the process started.
Tally Now();

// The difference `after - before`, field by field.
Tally Since(const Tally& before);

}  // namespace alloc
