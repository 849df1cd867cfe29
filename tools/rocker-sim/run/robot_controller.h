#pragma once

#include <string>

#include "rocker-sim/run/run_record.h"
#include "rocker-sim/scenario/scenario.h"

namespace velk::sim {
class SimulatedRobot;
}

namespace velk::rocker_sim {

// Changes the simulated robot's state as an operator or the robot itself
// would (power, safety stop, pause, hand guiding, a placed tool) and notes
// each change, with whether it halted the tool.
class RobotController {
 public:
  RobotController(sim::SimulatedRobot& robot, RunRecord& record);

  void apply(const RobotChange& change, double now);
  static std::string describe(const RobotChange& change);

 private:
  bool readyToMove() const;

  sim::SimulatedRobot& robot_;
  RunRecord& record_;
};

}  // namespace velk::rocker_sim
