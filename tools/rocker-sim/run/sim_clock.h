#pragma once

#include <chrono>

namespace velk::rocker_sim {

// The run clock: seconds since the extension was started. The origin is
// fixed at construction, so threads that stamp log lines may read it freely.
class SimClock {
 public:
  using Steady = std::chrono::steady_clock;

  SimClock() : origin_(Steady::now()) {}

  double now() const { return at(Steady::now()); }
  double at(Steady::time_point when) const {
    return std::chrono::duration<double>(when - origin_).count();
  }

 private:
  const Steady::time_point origin_;
};

}  // namespace velk::rocker_sim
