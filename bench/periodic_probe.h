#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace velk::bench {

// A yardstick for the bundle's threads: a thread of the benchmark that wakes
// on a fixed 10 ms grid (absolute deadlines, like the periodic task) and runs
// `work` each time. With empty work it shows what merely waking 100 times a
// second costs on this machine; with the host's API calls it shows their cost
// when run the way the bundle runs them, caches cold after each sleep.
class PeriodicProbe {
 public:
  explicit PeriodicProbe(std::function<void()> work,
                         std::chrono::microseconds period = std::chrono::microseconds(10000));
  // Stops and joins.
  ~PeriodicProbe();
  PeriodicProbe(const PeriodicProbe&) = delete;
  PeriodicProbe& operator=(const PeriodicProbe&) = delete;

  // Kernel thread id, once the thread runs.
  int tid() const { return tid_.load(); }

 private:
  void run();

  std::function<void()> work_;
  std::chrono::microseconds period_;
  std::atomic<bool> stop_{false};
  std::atomic<int> tid_{0};
  std::thread thread_;
};

}  // namespace velk::bench
