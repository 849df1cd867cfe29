#pragma once

#include <optional>
#include <string>

#include "rocker-sim/scenario/scenario.h"

namespace velk::rocker_sim {

// The words a scenario file uses for buttons, faults, waits and stick axes,
// both ways, so that the parser, the logs and the reports speak alike.
class ScenarioText {
 public:
  static const char* const kAxisNames[6];

  static std::string buttonName(Button button);
  static std::optional<Button> buttonNamed(const std::string& name);
  static std::string faultName(FaultKind kind);
  static std::optional<FaultKind> faultNamed(const std::string& name);
  static std::string waitName(WaitCondition condition);
  static std::optional<WaitCondition> waitNamed(const std::string& name);
  // Index of a stick axis ("x" .. "rz"), or -1.
  static int axisIndex(const std::string& name);

  // "x=500 z=-300", or "centre" when every axis is 0.
  static std::string stick(const StickAxes& axes);
  // "500,0,0,0,0,0"
  static std::string stickList(const StickAxes& axes);
  static std::string fault(const FaultStart& fault);
  static std::string seconds(double value);
};

}  // namespace velk::rocker_sim
