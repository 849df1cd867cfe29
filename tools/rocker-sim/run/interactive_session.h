#pragma once

#include <string>

#include "rocker-sim/run/run_stage.h"

namespace velk::rocker_sim {

// Drives the simulated joystick and robot from the keyboard, with a live
// status line, until q or a stop signal. The stick stays where a key puts
// it (a terminal reports no key releases): centre it with the space bar.
class InteractiveSession {
 public:
  static constexpr int kPush = 500;
  static constexpr int kFullPush = 1000;
  static constexpr double kPressHold = 0.3;  // s
  static constexpr double kDropTime = 2.0;   // s

  explicit InteractiveSession(RunStage& stage);

  void run();
  static std::string keyHelp();

 private:
  // False when the key asks to quit.
  bool handle(char key, double now);
  bool handleStick(char key, double now);
  bool handleRobot(char key, double now);
  void push(std::size_t axis, int value, double now);
  std::string status(double now) const;
  static std::string fitted(const std::string& line);

  RunStage& stage_;
};

}  // namespace velk::rocker_sim
