#pragma once

#include <cstdint>

namespace velk::bench {

// What one thread (or the whole process) has taken from and given back to
// the heap since the process began.
struct AllocationTotals {
  uint64_t allocations = 0;  // malloc, calloc, realloc, the aligned forms
  uint64_t frees = 0;        // free of a non-null pointer, and the old block of a realloc
  uint64_t bytes = 0;        // bytes asked for by those allocations
};

// Heap counters per thread, fed by the C allocator functions that this
// executable defines in place of the C library's (allocation_counter.cpp).
// The bundle is loaded after the executable, so its allocations, and those
// of everything it calls, bind to these definitions too; the counting itself
// allocates nothing.
class AllocationCounter {
 public:
  // Totals of the thread with kernel thread id `tid`; zero if it never
  // allocated. For a reused id, the latest thread that had it.
  static AllocationTotals forThread(int tid);
  static AllocationTotals forCallingThread();
  static AllocationTotals process();
  // Blocks allocated and not yet freed, over the whole process.
  static int64_t liveBlocks();
};

}  // namespace velk::bench
