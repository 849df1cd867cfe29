#pragma once

#include <mutex>

#include "host/kelmi/periodic_thread.h"

namespace velk::common {

// Inside a periodic task, waits by yielding to the task thread instead of
// blocking it; on any other thread, blocks (a mutex error throws
// std::system_error).
class CoAwareLockGuard {
 public:
  explicit CoAwareLockGuard(std::mutex& mutex) : mutex_(mutex) {
    if (kelmi::PeriodicThread::check_co()) {
      while (!mutex_.try_lock()) kelmi::PeriodicThread::yield();
    } else {
      mutex_.lock();
    }
  }
  ~CoAwareLockGuard() { mutex_.unlock(); }

  CoAwareLockGuard(const CoAwareLockGuard&) = delete;
  CoAwareLockGuard& operator=(const CoAwareLockGuard&) = delete;

 private:
  std::mutex& mutex_;
};

}  // namespace velk::common
