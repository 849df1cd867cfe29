#pragma once

#include "rocker-sim/run/run_record.h"

namespace velk::sim {
class SimulatedRobot;
}

namespace velk::joystick_sim {
class SimulatedJoystick;
}  // namespace velk::joystick_sim

namespace velk::rocker_sim {

using joystick_sim::SimulatedJoystick;

// Samples what can be seen from outside once per tick: the tool's pose and
// speed, and the lights on the joystick. Keeps only what changed, plus the
// samples while the tool moves, so that a long rest costs one entry.
class RunSampler {
 public:
  // `joystick` may be null (an outside device: its lights are not seen).
  RunSampler(sim::SimulatedRobot& robot, const SimulatedJoystick* joystick, RunRecord& record);

  void sample(double now);
  // What the joystick shows now (all off without a simulated joystick).
  JoystickLights lights() const;

 private:
  void samplePath(double now);
  void sampleLights(double now);

  sim::SimulatedRobot& robot_;
  const SimulatedJoystick* joystick_;
  RunRecord& record_;
};

}  // namespace velk::rocker_sim
