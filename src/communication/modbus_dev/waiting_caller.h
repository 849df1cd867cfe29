#pragma once

#include <atomic>

namespace velk::zorv_control {

// Counts a registry call that wants the device's locks for as long as it
// waits for them and holds them.
class WaitingCaller {
 public:
  explicit WaitingCaller(std::atomic<int>& waiting) : waiting_(waiting) { ++waiting_; }
  ~WaitingCaller() { --waiting_; }
  WaitingCaller(const WaitingCaller&) = delete;
  WaitingCaller& operator=(const WaitingCaller&) = delete;

 private:
  std::atomic<int>& waiting_;
};

}  // namespace velk::zorv_control
