// Interposes the C heap of this executable: every block requested through malloc and its
// kin, and therefore every operator new of the C++ library, is counted on its way to glibc.
// Linked only into executables that are not built with a sanitizer, which owns the heap then.
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
std::atomic<size_t> frees{0};
std::atomic<size_t> bytes{0};

void CountAllocation(size_t size) {
  allocations.store(allocations.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  bytes.store(bytes.load(std::memory_order_relaxed) + size, std::memory_order_relaxed);
}

void CountFree(void* block) {
  if (block != nullptr)
    frees.store(frees.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

}  // namespace

namespace alloc {

Tally Now() {
  return Tally{allocations.load(std::memory_order_relaxed), frees.load(std::memory_order_relaxed),
               bytes.load(std::memory_order_relaxed)};
}

Tally Since(const Tally& before) {
  Tally now = Now();
  return Tally{now.allocations - before.allocations, now.frees - before.frees,
               now.bytes - before.bytes};
}

}  // namespace alloc

extern "C" {

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
