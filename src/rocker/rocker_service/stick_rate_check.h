#pragma once

#include <chrono>
#include <functional>
#include <utility>

#include "common/log_callback.h"

namespace velk::zorv_comm {

// Holds input_timeout against the rate at which the line actually reads the
// stick. A timeout shorter than about three of those reads stops jogs for
// old values while the operator still holds the stick (a slow line, a USB
// adapter's latency); it is said once, with what to change, and never
// raised silently: a joystick that falls silent must still stop a jog.
// Once the line reads fast enough again one line says so.
//
// Threads: the periodic task's.
class StickRateCheck {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;
  // Reads of the stick per second as measured on the line; 0 while unknown.
  using RateSource = std::function<double()>;

  // Fewer reads than this within input_timeout gives the Warning; from the
  // second figure on the line counts as fast enough again. Three reads at the
  // default rate fill the default timeout exactly, so the Warning leaves
  // room for the jitter of a healthy line.
  static constexpr double kWarnBelowReads = 2.7;
  static constexpr double kFineFromReads = 2.9;
  // The measured rate is smoothed over reads; looking once a second is
  // enough and keeps the registry's lock out of most cycles.
  static constexpr std::chrono::seconds kCheckInterval{1};

  StickRateCheck(LogCallback log, Now now) : log_(std::move(log)), now_(std::move(now)) {}

  void useRateSource(RateSource source) { rate_ = std::move(source); }
  // Once per cycle while the joystick is registered, with the input_timeout
  // in force (0: the age check is off, and this with it).
  void update(double input_timeout);
  // The joystick was removed: the next registration may be on another line.
  void forget();

 private:
  void judge(double rate, double input_timeout);

  LogCallback log_;
  Now now_;
  RateSource rate_;
  Clock::time_point next_check_{};
  bool too_short_ = false;
};

}  // namespace velk::zorv_comm
