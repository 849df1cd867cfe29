#pragma once

#include <optional>
#include <string>
#include <vector>

#include "rocker-sim/scenario/scenario.h"

namespace velk::rocker_sim {

// Why a jog ended.
enum class StopCause {
  kFastRelease,  // the stick dropped by more than 50 in one read
  kSlowRelease,  // three smaller drops in a row
  kCentred,      // the stick back inside the centre
  kReversal,     // an axis changed sign
  kReadError,    // the joystick's data could not be read
  kJoggingOff,   // the power button switched jogging off
  kSpeedChange,  // the speed button was pressed during the jog
  kRobotHalted,  // the robot stopped by itself (mode, safety stop, freedrive)
  kReplaced,     // a new speed command took over
  kStillMoving,  // the run ended during the jog
  kUnknown,
};

// A speed command that replaced the running one within a jog: with
// jog_follow, the speed following the stick.
struct SpeedChange {
  double t = 0.0;
  std::optional<StickAxes> stick;  // the stick when the command went out, if known
  std::vector<double> speed;
  bool accepted = true;
  std::vector<double> pose;  // where the tool was
};

// One jog: a speed command and whatever ended it.
struct Jog {
  int number = 0;
  double start = 0.0;
  std::optional<StickAxes> stick;    // the stick when the command went out, if known
  std::vector<double> speed;         // the commanded speed vector
  std::vector<SpeedChange> changes;  // later speed commands of a following jog, in order
  double acceleration = 0.0;
  double time_bound = 0.0;     // the command's own time limit, s
  bool accepted = true;        // the robot took the command
  std::optional<double> stop;  // when the stop command (or the halt) came
  StopCause cause = StopCause::kUnknown;
  std::string fault;  // the joystick fault in force at the stop, if any
  std::vector<double> start_pose;
  std::vector<double> end_pose;  // where the tool came to rest
};

}  // namespace velk::rocker_sim
