#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace velk::zorv_comm {

// What one cycle's snapshot of the registry says about the joystick beyond
// its values: whether each value was ever read from the slave, how old the
// stick values are, and whether the connection was declared lost. The three
// vectors are the registry's, in its table order; the sample refers to them
// and lives no longer than the cycle that took them.
class StickSample {
 public:
  using Clock = std::chrono::steady_clock;

  StickSample(const std::vector<std::string>& names, const std::vector<int>& errors,
              const std::vector<Clock::time_point>& read_times);

  // A signal in error with a negative state: the device lost its connection
  // (or has none), so nothing it reports can be trusted.
  bool connectionLost() const { return connection_lost_; }
  // Whether the named signal's value has been read from the slave at least
  // once (an error state of 0 alone does not say so: a signal's first probe
  // clears it before its group has been read).
  bool wasRead(const char* name) const;
  // When the oldest of the six stick values was read; the epoch when one of
  // them never was.
  Clock::time_point oldestAxisRead() const { return oldest_axis_read_; }
  bool everyAxisRead() const { return oldest_axis_read_ != Clock::time_point(); }

 private:
  Clock::time_point readTimeOf(const char* name) const;

  const std::vector<std::string>& names_;
  const std::vector<Clock::time_point>& read_times_;
  bool connection_lost_ = false;
  Clock::time_point oldest_axis_read_;
};

}  // namespace velk::zorv_comm
