// Interposes the C heap of this executable: every block requested through malloc and its
// kin, and therefore every operator new of the C++ library, is counted on its way to glibc,
// except while the shell expands variables for the plugin (the blocks the stand-in shell takes
// and gives back for that are the shell's, not the plugin's).
// Linked only into executables that are not built with a sanitizer, which owns the heap then,
// and with -Wl,--wrap=ExpandVariables (bench/CMakeLists.txt).
#include "alloc_counter.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>

extern "C" {
// glibc's own entry points behind malloc and friends.
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

// Totals since start-up; changed only by the interposed functions below. Relaxed loads and
// stores rather than read-modify-write: the programs that count run one thread, and a locked
// increment would add its own cost to every block measured.
std::atomic<size_t> allocations{0};
std::atomic<size_t> resizes{0};
std::atomic<size_t> frees{0};
std::atomic<size_t> bytes{0};

// Set while the shell's ExpandVariables runs: nothing is counted then.
std::atomic<bool> inShell{false};

void CountAllocation(size_t size) {
  if (inShell.load(std::memory_order_relaxed)) return;
  allocations.store(allocations.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  bytes.store(bytes.load(std::memory_order_relaxed) + size, std::memory_order_relaxed);
}

void CountFree(void* block) {
  if (block != nullptr && !inShell.load(std::memory_order_relaxed))
    frees.store(frees.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

}  // namespace

namespace alloc {

Tally Now() {
  return Tally{allocations.load(std::memory_order_relaxed), resizes.load(std::memory_order_relaxed),
               frees.load(std::memory_order_relaxed), bytes.load(std::memory_order_relaxed)};
}

Tally Since(const Tally& before) {
  Tally now = Now();
  return Tally{now.allocations - before.allocations, now.resizes - before.resizes,
               now.frees - before.frees, now.bytes - before.bytes};
}

}  // namespace alloc

extern "C" {

// The linker's names for the shell's ExpandVariables and for the function that takes the
// plugin's calls of it instead (--wrap=ExpandVariables). The stand-in shell builds strings on
// the heap to expand a variable, which the plugin reads through it (bash mode reads one at
// Enter); the real shell's expansion is the shell's own business as well.
int __real_ExpandVariables(char16_t* buffer, int flag);

int __wrap_ExpandVariables(char16_t* buffer, int flag) {
  inShell.store(true, std::memory_order_relaxed);
  const int result = __real_ExpandVariables(buffer, flag);
  inShell.store(false, std::memory_order_relaxed);
  return result;
}

void* malloc(size_t size) {
  CountAllocation(size);
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  CountAllocation(count * size);
  return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
  CountAllocation(size);
  if (block != nullptr && !inShell.load(std::memory_order_relaxed)) {
    resizes.store(resizes.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  }
  CountFree(block);
  return __libc_realloc(block, size);
}

void free(void* block) {
  CountFree(block);
  __libc_free(block);
}

void* memalign(size_t alignment, size_t size) {
  CountAllocation(size);
  return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
  CountAllocation(size);
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  CountAllocation(size);
  void* block = __libc_memalign(alignment, size);
  if (block == nullptr) return ENOMEM;
  *result = block;
  return 0;
}

}  // extern "C"
