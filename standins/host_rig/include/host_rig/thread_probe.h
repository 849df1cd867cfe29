#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velk::host_rig {

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
  static int countNamed(const std::string& name) {
    return static_cast<int>(tidsNamed(name).size());
  }
  static int count() { return static_cast<int>(tids().size()); }
  // The count to compare with later. Starts and joins one thread first:
  // runtimes that add a helper thread with the first thread created
  // (ThreadSanitizer does) would otherwise count it against the code tested.
  static int settledCount();
  static ThreadSample sample(int tid);
};

}  // namespace velk::host_rig
