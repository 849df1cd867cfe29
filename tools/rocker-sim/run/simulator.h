#pragma once

#include <memory>
#include <string>
#include <vector>

#include "rocker-sim/command_line/sim_settings.h"
#include "rocker-sim/report/jog.h"
#include "rocker-sim/run/run_info.h"
#include "rocker-sim/run/run_record.h"
#include "rocker-sim/scenario/scenario.h"

namespace velk::joystick_sim {
class SimulatedJoystick;
}  // namespace velk::joystick_sim

namespace velk::rocker_sim {

class Console;
using joystick_sim::SimulatedJoystick;

// One run of rocker-sim: sets up the joystick, the robot and a HOME, loads
// the bundle like a host, starts the extension, plays the scenario (or the
// keyboard), shuts everything down in order and reports.
class Simulator {
 public:
  static constexpr int kExitOk = 0;
  static constexpr int kExitFailed = 1;
  static constexpr int kExitBadInput = 2;
  static constexpr int kExitWaitTimedOut = 3;
  // Ended early by a signal: 128 + its number, as a shell reports it.
  static constexpr int kExitSignalBase = 128;

  explicit Simulator(SimSettings settings);

  // Throws InputError for bad input and std::exception for a failed run.
  int run();

 private:
  Scenario loadScenario() const;
  std::unique_ptr<SimulatedJoystick> makeJoystick(const Scenario& scenario) const;
  void announce(Console& console, const SimulatedJoystick* joystick, const Scenario& scenario,
                const std::string& device_info) const;
  RunInfo describe(const SimulatedJoystick* joystick, const Scenario& scenario,
                   const std::string& device_info) const;
  void report(Console& console, const RunInfo& info, const RunRecord& record,
              const std::vector<Jog>& jogs) const;

  SimSettings settings_;
};

}  // namespace velk::rocker_sim
