#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cartesian_motion.h"

namespace velk::sim {

// Everything the simulated robot is: its modes, names, tool voltage, the
// tool's motion and the simulated time. Not thread-safe; HostBackend guards
// it.
//
// The robot moves only when it is running (kRobotModeRunning), in normal
// safety mode and not in freedrive; a change that ends one of these halts the
// tool at once, as the brakes of a safety stop would.
class RobotModel {
 public:
  RobotModel();

  int robotModeType() const;
  void setRobotModeType(int type);
  int safetyModeType() const;
  void setSafetyModeType(int type);
  int runtimeStatus() const;
  void setRuntimeStatus(int status);
  bool freedriveEnabled() const;
  void setFreedriveEnabled(bool enabled);
  const std::vector<std::string>& robotNames() const;
  void setRobotNames(std::vector<std::string> names);

  // Volts: 0, 12 or 24; others are refused.
  int toolVoltage() const;
  int setToolVoltage(int volts);

  // Results are the codes of robot_codes.h.
  int speedLine(const std::vector<double>& speed, double a, double t);
  int stopLine(double a, double rot_a);

  bool steady() const;
  std::vector<double> toolPose() const;
  // Throws std::invalid_argument unless the pose has six finite values.
  void setToolPose(const std::vector<double>& pose);
  std::vector<double> toolSpeed() const;

  void advance(std::chrono::nanoseconds dt);
  std::chrono::nanoseconds simTime() const;

 private:
  bool readyToMove() const;
  void haltUnlessReady();

  int robot_mode_type_;
  int safety_mode_type_;
  int runtime_status_;
  bool freedrive_enabled_ = false;
  std::vector<std::string> robot_names_;
  int tool_voltage_ = 0;
  CartesianMotion motion_;
  std::chrono::nanoseconds sim_time_{0};
};

}  // namespace velk::sim
