#include "rocker/rocker_service/rocker_clock.h"

#include <unistd.h>

namespace velk::zorv_comm {

RockerClock RockerClock::realTime() {
  RockerClock clock;
  clock.now = [] {
    timespec current{};
    clock_gettime(CLOCK_REALTIME, &current);
    return current;
  };
  clock.sleep = [](unsigned int microseconds) { usleep(microseconds); };
  clock.monotonic = &std::chrono::steady_clock::now;
  return clock;
}

RockerClock RockerClock::completed(RockerClock clock) {
  const RockerClock real = realTime();
  if (!clock.now) clock.now = real.now;
  if (!clock.sleep) clock.sleep = real.sleep;
  if (!clock.monotonic) clock.monotonic = real.monotonic;
  return clock;
}

int64_t RockerClock::millisecondsBetween(const timespec& earlier, const timespec& later) {
  const int64_t seconds = static_cast<int64_t>(later.tv_sec) - static_cast<int64_t>(earlier.tv_sec);
  const int64_t nanoseconds =
      static_cast<int64_t>(later.tv_nsec) - static_cast<int64_t>(earlier.tv_nsec);
  return seconds * 1000 + nanoseconds / 1000000;
}

}  // namespace velk::zorv_comm
