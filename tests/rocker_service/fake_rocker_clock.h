#pragma once

#include <ctime>
#include <vector>

#include "rocker/rocker_service/rocker_clock.h"

namespace velk::test {

// A wall clock that moves only when told to. Sleeps are recorded and move
// it on by their length, so a test sees the start delay without waiting.
// For one thread: the service's task and the test take turns.
class FakeRockerClock {
 public:
  zorv_comm::RockerClock clock() {
    zorv_comm::RockerClock clock;
    clock.now = [this] { return now_; };
    clock.sleep = [this](unsigned int microseconds) {
      sleeps_.push_back(microseconds);
      advanceMicroseconds(microseconds);
    };
    return clock;
  }
  void advanceMs(long milliseconds) { advanceMicroseconds(milliseconds * 1000); }
  const std::vector<unsigned int>& sleeps() const { return sleeps_; }

 private:
  void advanceMicroseconds(long microseconds) {
    const long nanoseconds = now_.tv_nsec + (microseconds % 1000000) * 1000;
    now_.tv_sec += microseconds / 1000000 + nanoseconds / 1000000000;
    now_.tv_nsec = nanoseconds % 1000000000;
  }

  // Just below a second boundary, so differences that cross it are covered.
  timespec now_{1700000000, 900000000};
  std::vector<unsigned int> sleeps_;
};

}  // namespace velk::test
