#pragma once

#include <limits>
#include <optional>
#include <string>
#include <toml/value.hpp>
#include <vector>

#include "joystick_sim/joystick_state.h"

namespace velk::rocker_sim {

using joystick_sim::Button;
using joystick_sim::StickAxes;

enum class FaultKind { kDrop, kSilence, kException };
enum class WaitCondition { kReady, kJoggingOn, kJoggingOff, kMoving, kStill };

inline constexpr double kForever = std::numeric_limits<double>::infinity();

struct StickChange {
  StickAxes axes{};
  double ramp = 0.0;  // seconds to move there in a straight line; 0 jumps
};

struct ButtonPress {
  Button button = Button::kPower;
  double hold = 0.3;  // seconds
};

struct RobotChange {
  std::optional<int> mode_type;
  std::optional<int> safety_mode_type;
  std::optional<int> runtime_status;
  std::optional<bool> freedrive;
  std::optional<std::vector<double>> tool_pose;
};

struct FaultStart {
  FaultKind kind = FaultKind::kDrop;
  double duration = kForever;  // seconds
  int address = 256;           // exception faults only
  int code = 2;                // Modbus exception code, exception faults only
};

struct WaitFor {
  WaitCondition condition = WaitCondition::kReady;
  double timeout = 10.0;  // seconds
};

// One timed step. Whatever it sets is applied in the order robot, restart,
// stick, press, fault, wait.
struct ScenarioStep {
  double at = 0.0;  // seconds on the script clock, which stands still while a wait lasts
  int line = 0;     // where the step begins in its file
  std::string note;
  std::optional<RobotChange> robot;
  std::optional<toml::value> restart;  // start options that the restart changes (a table)
  std::optional<StickChange> stick;
  std::optional<ButtonPress> press;
  std::optional<FaultStart> fault;
  std::optional<WaitFor> wait;
};

struct Scenario {
  std::string path;
  std::string name;
  std::string description;
  toml::value options = toml::table{};  // start options the scenario asks for
  std::vector<ScenarioStep> steps;
  double end = 1.0;  // script time at which the run ends
};

}  // namespace velk::rocker_sim
