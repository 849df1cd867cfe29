#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>

namespace velk::zorv_comm {

// The wall clock and the sleep the motion decision uses to keep jogs apart,
// and the monotonic clock the registry stamps its reads with, against which
// the age of the stick values is measured. All are replaceable so that a
// simulator or a test can run the service on its own time; realTime() is
// what the service uses unless told otherwise.
struct RockerClock {
  std::function<timespec()> now;
  std::function<void(unsigned int microseconds)> sleep;
  std::function<std::chrono::steady_clock::time_point()> monotonic;

  // CLOCK_REALTIME, usleep and the steady clock.
  static RockerClock realTime();
  // The given clock with realTime()'s parts where it has none.
  static RockerClock completed(RockerClock clock);
  // Whole milliseconds from `earlier` to `later`, truncated toward zero.
  static int64_t millisecondsBetween(const timespec& earlier, const timespec& later);
};

}  // namespace velk::zorv_comm
