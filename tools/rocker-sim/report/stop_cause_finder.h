#pragma once

#include <optional>
#include <string>

#include "rocker-sim/report/jog.h"
#include "rocker-sim/run/run_record.h"

namespace velk::rocker_sim {

// Tells why a stop command was sent, from the bundle's log message that
// preceded it in the same cycle and, failing that, from a joystick fault in
// force at the time.
class StopCauseFinder {
 public:
  // How far back before a stop its reason may have been logged, s.
  static constexpr double kLookBack = 0.3;

  explicit StopCauseFinder(const RunRecord& record);

  // Cause of a stop command at `stop` ending a jog that began at `start`.
  StopCause find(double start, double stop) const;
  // The joystick fault in force at `t` (its description), or empty.
  std::string faultAt(double t) const;

  // The cause a single log message names, if it names one.
  static std::optional<StopCause> causeOf(const std::string& message);
  static std::string describe(StopCause cause);
  static std::string code(StopCause cause);

 private:
  const RunRecord& record_;
};

}  // namespace velk::rocker_sim
