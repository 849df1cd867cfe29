#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velk::common_interface {

class HostBackend;

// State of one robot as the host reports it.
class RobotState {
 public:
  explicit RobotState(std::shared_ptr<HostBackend> backend);
  // Robot mode type; 8 means the tool is powered and the joystick may be used.
  int getRobotModeType();
  // Safety mode type; 1 is normal operation.
  int getSafetyModeType();
  // True while the robot is at rest and not commanded to move.
  bool isSteady();
  // Tool pose in the robot base frame: x, y, z in metres, then rx, ry, rz in
  // radians (roll, pitch, yaw about the fixed base axes, R = Rz * Ry * Rx).
  std::vector<double> getToolPose();

 private:
  std::shared_ptr<HostBackend> backend_;
};

}  // namespace velk::common_interface
