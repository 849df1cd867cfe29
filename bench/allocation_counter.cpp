#include "bench/allocation_counter.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

// The C library's own allocator entry points, which the definitions below
// forward to after counting.
extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* pointer);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
}

namespace velk::bench {
namespace {

// One slot per thread that ever allocated; only zero-initialised atomics, so
// the table is usable before any constructor has run.
struct Slot {
  std::atomic<int> tid;
  std::atomic<uint64_t> allocations;
  std::atomic<uint64_t> frees;
  std::atomic<uint64_t> bytes;
};

// The benchmarks start and end a few dozen threads; the last slot is shared
// by every thread beyond the table.
constexpr int kSlots = 1024;
Slot g_slots[kSlots];
std::atomic<int> g_slots_used{0};
thread_local int t_slot = -1;

Slot& slotOfThisThread() {
  if (t_slot < 0) {
    int index = g_slots_used.fetch_add(1, std::memory_order_relaxed);
    if (index >= kSlots - 1) {
      index = kSlots - 1;
      g_slots[index].tid.store(-1, std::memory_order_relaxed);
    } else {
      g_slots[index].tid.store(static_cast<int>(gettid()), std::memory_order_relaxed);
    }
    t_slot = index;
  }
  return g_slots[t_slot];
}

void countAllocation(size_t size) {
  Slot& slot = slotOfThisThread();
  slot.allocations.fetch_add(1, std::memory_order_relaxed);
  slot.bytes.fetch_add(size, std::memory_order_relaxed);
}

void countFree() { slotOfThisThread().frees.fetch_add(1, std::memory_order_relaxed); }

AllocationTotals totalsOf(const Slot& slot) {
  AllocationTotals totals;
  totals.allocations = slot.allocations.load(std::memory_order_relaxed);
  totals.frees = slot.frees.load(std::memory_order_relaxed);
  totals.bytes = slot.bytes.load(std::memory_order_relaxed);
  return totals;
}

int slotsInUse() {
  const int used = g_slots_used.load(std::memory_order_relaxed);
  return used < kSlots ? used : kSlots;
}

}  // namespace

AllocationTotals AllocationCounter::forThread(int tid) {
  for (int i = slotsInUse() - 1; i >= 0; --i) {
    if (g_slots[i].tid.load(std::memory_order_relaxed) == tid) return totalsOf(g_slots[i]);
  }
  return {};
}

AllocationTotals AllocationCounter::forCallingThread() { return totalsOf(slotOfThisThread()); }

AllocationTotals AllocationCounter::process() {
  AllocationTotals sum;
  for (int i = 0; i < slotsInUse(); ++i) {
    const AllocationTotals one = totalsOf(g_slots[i]);
    sum.allocations += one.allocations;
    sum.frees += one.frees;
    sum.bytes += one.bytes;
  }
  return sum;
}

int64_t AllocationCounter::liveBlocks() {
  const AllocationTotals sum = process();
  return static_cast<int64_t>(sum.allocations) - static_cast<int64_t>(sum.frees);
}

}  // namespace velk::bench

using velk::bench::countAllocation;
using velk::bench::countFree;

extern "C" {

void* malloc(size_t size) {
  void* block = __libc_malloc(size);
  if (block != nullptr) countAllocation(size);
  return block;
}

void free(void* pointer) {
  if (pointer != nullptr) countFree();
  __libc_free(pointer);
}

void* calloc(size_t count, size_t size) {
  void* block = __libc_calloc(count, size);
  if (block != nullptr) countAllocation(count * size);
  return block;
}

void* realloc(void* pointer, size_t size) {
  void* block = __libc_realloc(pointer, size);
  // realloc(p, 0) frees p; realloc(nullptr, n) only allocates; a failed
  // realloc leaves p as it was.
  if (pointer != nullptr && (block != nullptr || size == 0)) countFree();
  if (block != nullptr) countAllocation(size);
  return block;
}

void* memalign(size_t alignment, size_t size) {
  void* block = __libc_memalign(alignment, size);
  if (block != nullptr) countAllocation(size);
  return block;
}

int posix_memalign(void** result, size_t alignment, size_t size) {
  if (alignment == 0 || (alignment & (alignment - 1)) != 0 || alignment % sizeof(void*) != 0) {
    return EINVAL;
  }
  void* block = __libc_memalign(alignment, size);
  if (block == nullptr) return ENOMEM;
  countAllocation(size);
  *result = block;
  return 0;
}

void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

void* valloc(size_t size) {
  void* block = __libc_valloc(size);
  if (block != nullptr) countAllocation(size);
  return block;
}

void* pvalloc(size_t size) {
  void* block = __libc_pvalloc(size);
  if (block != nullptr) countAllocation(size);
  return block;
}

}  // extern "C"
