#pragma once

#include <functional>
#include <toml/value.hpp>

namespace velk::sim {
class SimulatedRobot;
}

namespace velk::rocker_sim {

class Console;
class ScenarioJoystickDriver;
class RobotController;
class RunSampler;
class SimClock;
struct RunRecord;

// The parts of a run that scenario steps and interactive keys act on.
struct RunStage {
  const SimClock& clock;
  sim::SimulatedRobot& robot;
  ScenarioJoystickDriver& joystick;
  RobotController& robot_controller;
  RunSampler& sampler;
  RunRecord& record;
  Console& console;
  // Stops the extension and starts it again with these start options on top
  // of the scenario's.
  std::function<void(const toml::value&)> restart;
};

}  // namespace velk::rocker_sim
