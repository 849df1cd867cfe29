#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velk::bench {

// What the kernel has counted for one thread since it began.
struct ThreadSample {
  int tid = 0;
  uint64_t cpu_ns = 0;       // time on a processor, user and system
  uint64_t voluntary = 0;    // context switches by waiting: sleeps, I/O, locks
  uint64_t involuntary = 0;  // context switches by preemption
  bool alive = false;
};

// The threads of this process as /proc shows them: names and per-thread
// CPU time (schedstat, nanoseconds) and context switches (status).
class ThreadProbe {
 public:
  static std::vector<int> tids();
  static std::string nameOf(int tid);
  // Threads whose name is exactly `name`.
  static std::vector<int> tidsNamed(const std::string& name);
  static ThreadSample sample(int tid);
};

}  // namespace velk::bench
