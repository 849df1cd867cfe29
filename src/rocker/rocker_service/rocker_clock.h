#pragma once

#include <cstdint>
#include <ctime>
#include <functional>

namespace velk::zorv_comm {

// The wall clock and the sleep the motion decision uses to keep jogs apart.
// Both are replaceable so that a simulator or a test can run the decision on
// its own time; realTime() is what the service uses unless told otherwise.
struct RockerClock {
  std::function<timespec()> now;
  std::function<void(unsigned int microseconds)> sleep;

  // CLOCK_REALTIME and usleep.
  static RockerClock realTime();
  // The given clock with realTime()'s parts where it has none.
  static RockerClock completed(RockerClock clock);
  // Whole milliseconds from `earlier` to `later`, truncated toward zero.
  static int64_t millisecondsBetween(const timespec& earlier, const timespec& later);
};

}  // namespace velk::zorv_comm
