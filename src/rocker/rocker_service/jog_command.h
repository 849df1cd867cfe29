#pragma once

#include <optional>
#include <vector>

#include "common/log_callback.h"
#include "rocker/rocker_service/stick_checks.h"

namespace velk::common_interface {
class Math;
}  // namespace velk::common_interface

namespace velk::zorv_comm {

// The speed vector of a jog: the stick deflection, with the axes and signs
// chosen by setAxis, turned from the joystick's frame (the tool frame
// rotated about its z axis) into the robot's base frame, and scaled by the
// pose speed in use. Logs the frames it went through at Debug.
class JogCommand {
 public:
  static constexpr double kAxisScale = 1000.0;
  static constexpr int kThirdAxisDeadBand = 200;
  static constexpr std::size_t kPoseSize = 6;

  explicit JogCommand(LogCallback log);

  // Which stick axis, with which sign, feeds each jog component.
  void setAxis(int x, int y, int z);
  // Rotation of the joystick about the tool's z axis, radians.
  void setRotation(double angle) { rotation_angle_ = angle; }

  // The six values of speedLine's first argument, or nothing (logged at
  // Error) when the host's pose arithmetic gave no pose.
  std::optional<std::vector<double>> speedFor(common_interface::Math& math,
                                              const std::vector<double>& tool_pose,
                                              const StickChecks::ValueMap& stick,
                                              double pose_speed) const;

 private:
  std::vector<double> stickVector(const StickChecks::ValueMap& stick) const;
  bool isPose(const std::vector<double>& pose) const;
  void logFrames(const std::vector<double>& base_t_flange, const std::vector<double>& end_t_rocker,
                 const std::vector<double>& base_t_rocker, const std::vector<double>& rocker,
                 const std::vector<double>& speed) const;

  LogCallback log_;
  int axis_x_ = 0;
  int axis_y_ = 0;
  int axis_z_ = 0;
  double rotation_angle_ = 0;
};

}  // namespace velk::zorv_comm
