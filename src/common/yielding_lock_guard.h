#pragma once

#include <mutex>

#include "host/kelmi/periodic_thread.h"

namespace velk::common {

// Tries the mutex and yields between tries, on whatever thread it runs, so a
// periodic task never blocks its thread while the poll thread holds the lock.
class YieldingLockGuard {
 public:
  explicit YieldingLockGuard(std::mutex& mutex) : mutex_(mutex) {
    while (!mutex_.try_lock()) kelmi::PeriodicThread::yield();
  }
  ~YieldingLockGuard() { mutex_.unlock(); }

  YieldingLockGuard(const YieldingLockGuard&) = delete;
  YieldingLockGuard& operator=(const YieldingLockGuard&) = delete;

 private:
  std::mutex& mutex_;
};

}  // namespace velk::common
