#pragma once

#include <chrono>
#include <ctime>
#include <vector>

#include "rocker/rocker_service/rocker_clock.h"

namespace velk::test {

// A wall clock and a monotonic clock that move together, only when told to.
// Sleeps are recorded and move them on by their length, so a test sees the
// start delay without waiting. For one thread: the service's task and the
// test take turns.
class FakeRockerClock {
 public:
  zorv_comm::RockerClock clock() {
    zorv_comm::RockerClock clock;
    clock.now = [this] { return now_; };
    clock.sleep = [this](unsigned int microseconds) {
      sleeps_.push_back(microseconds);
      advanceMicroseconds(microseconds);
    };
    clock.monotonic = [this] { return monotonic_; };
    return clock;
  }
  std::chrono::steady_clock::time_point monotonic() const { return monotonic_; }
  void advanceMs(long milliseconds) { advanceMicroseconds(milliseconds * 1000); }
  const std::vector<unsigned int>& sleeps() const { return sleeps_; }

 private:
  void advanceMicroseconds(long microseconds) {
    monotonic_ += std::chrono::microseconds(microseconds);
    const long nanoseconds = now_.tv_nsec + (microseconds % 1000000) * 1000;
    now_.tv_sec += microseconds / 1000000 + nanoseconds / 1000000000;
    now_.tv_nsec = nanoseconds % 1000000000;
  }

  // Just below a second boundary, so differences that cross it are covered.
  timespec now_{1700000000, 900000000};
  // Well past the epoch, which stands for "never read".
  std::chrono::steady_clock::time_point monotonic_ =
      std::chrono::steady_clock::time_point() + std::chrono::hours(1);
  std::vector<unsigned int> sleeps_;
};

}  // namespace velk::test
