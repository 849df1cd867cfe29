#pragma once

#include <cstdint>

namespace velk::bench {

// The process's memory at one moment.
struct MemorySample {
  long rss_kb = 0;           // resident set
  long rss_anon_kb = 0;      // of it: heap, stacks, other anonymous pages
  long rss_file_kb = 0;      // of it: mapped files (code and data of the libraries)
  uint64_t heap_in_use = 0;  // bytes handed out by malloc and not freed, all arenas
  int64_t live_blocks = 0;   // blocks handed out by malloc and not freed
};

class ProcessMemory {
 public:
  static MemorySample sample();
};

}  // namespace velk::bench
