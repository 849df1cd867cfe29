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
  static constexpr double kDefaultMaxSpeed = 0.25;

  // The largest Cartesian speed a jog may command, m/s.
  void setMaxSpeed(double speed) { max_speed_ = speed; }
  // Rotation of the joystick about the tool's z axis, radians.
  void setRotation(double angle) { rotation_angle_ = angle; }

  // The six values of speedLine's first argument, finite and no faster
  // than max_speed (a faster one is scaled down, keeping its direction, with
  // a Warning); or nothing (logged at Error) when the tool pose or the
  // host's pose arithmetic gave no usable pose.
  std::optional<std::vector<double>> speedFor(common_interface::Math& math,
                                              const std::vector<double>& tool_pose,
                                              const StickChecks::ValueMap& stick,
                                              double pose_speed) const;

 private:
  std::vector<double> stickVector(const StickChecks::ValueMap& stick) const;
  bool isPose(const std::vector<double>& pose, const char* source) const;
  void bound(std::vector<double>& command) const;
  void logFrames(const std::vector<double>& base_t_flange, const std::vector<double>& end_t_rocker,
                 const std::vector<double>& base_t_rocker, const std::vector<double>& rocker,
                 const std::vector<double>& speed) const;

  LogCallback log_;
  int axis_x_ = 0;
  int axis_y_ = 0;
  int axis_z_ = 0;
  double rotation_angle_ = 0;
  double max_speed_ = kDefaultMaxSpeed;
};

}  // namespace velk::zorv_comm
