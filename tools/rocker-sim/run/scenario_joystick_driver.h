#pragma once

#include <optional>
#include <vector>

#include "rocker-sim/run/run_record.h"
#include "rocker-sim/scenario/scenario.h"

namespace velk::joystick_sim {
class SimulatedJoystick;
}  // namespace velk::joystick_sim

namespace velk::rocker_sim {

using joystick_sim::SimulatedJoystick;

// Plays a scenario's hand and cable on the simulated joystick: stick changes
// (at once or along a ramp), button presses held for a while, and faults
// that last a while. Timed parts run on the run clock: call update() every
// tick. Every change is written to the run record. It never waits for the
// robot; the scenario's steps do (the benchmarks' JoystickDriver times one
// move to the command it causes instead).
//
// Without a simulated joystick (an outside device) it does nothing but keep
// the record of what it was asked.
class ScenarioJoystickDriver {
 public:
  // `joystick` may be null.
  ScenarioJoystickDriver(SimulatedJoystick* joystick, RunRecord& record);

  bool present() const { return joystick_ != nullptr; }
  const StickAxes& stickTarget() const { return target_; }
  void setStick(const StickAxes& axes, double ramp, double now);
  void press(Button button, double hold, double now);
  void startFault(const FaultStart& fault, double now);
  // Ends every fault still in force.
  void clearFaults(double now);
  bool faultActive() const { return !active_faults_.empty(); }
  void update(double now);

 private:
  struct Ramp {
    StickAxes from{};
    double start = 0.0;
    double end = 0.0;
  };
  struct PendingRelease {
    Button button;
    double at;
  };
  struct ActiveFault {
    std::size_t record;  // index into RunRecord::faults
    double until;
  };

  void moveStick(const StickAxes& axes, double now);
  void followRamp(double now);
  void releaseDueButtons(double now);
  void endDueFaults(double now);
  void applyFaults();

  SimulatedJoystick* joystick_;
  RunRecord& record_;
  StickAxes target_{};
  std::optional<Ramp> ramp_;
  std::vector<PendingRelease> releases_;
  std::vector<ActiveFault> active_faults_;
  std::vector<int> rejected_addresses_;
};

}  // namespace velk::rocker_sim
