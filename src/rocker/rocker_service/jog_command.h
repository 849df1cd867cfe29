#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "common/log_callback.h"
#include "rocker/rocker_service/rocker_settings.h"
#include "rocker/rocker_service/stick_checks.h"

namespace velk::common_interface {
class Math;
}  // namespace velk::common_interface

namespace velk::zorv_comm {

// Owns what a jog's speed is made from (the axis assignment, the rotation,
// the speed bounds, the six-axis settings) and makes the speed vector: the
// stick deflection, with the axes and signs chosen by setAxis, turned from
// the joystick's frame (the tool frame rotated about its z axis) into the
// robot's base frame, and scaled by the pose speed in use. Logs the frames
// it went through at Debug.
class JogCommand {
 public:
  static constexpr double kAxisScale = 1000.0;
  static constexpr int kThirdAxisDeadBand = 200;
  static constexpr std::size_t kPoseSize = 6;
  // How far the host's rotation of a stick vector may change its length.
  static constexpr double kLengthTolerance = 0.01;

  explicit JogCommand(LogCallback log);

  // Which stick axis, with which sign, feeds each jog component.
  void setAxis(int x, int y, int z);
  // Whether the stick turns the tool as well, and the largest speeds a
  // command may have; until then a jog translates only, within the
  // default bounds.
  void configure(const RockerSettings& settings);
  // The angular speed at full deflection in the fast mode, and the fast
  // pose speed it goes with: a slower pose speed slows the turn in the same
  // ratio.
  void setOrientationSpeed(double ori_velc, double pose_speed_fast) {
    ori_velc_ = ori_velc;
    pose_speed_fast_ = pose_speed_fast;
  }
  // The same command logging into `log`.
  JogCommand withLog(LogCallback log) const {
    JogCommand copy = *this;
    copy.log_ = std::move(log);
    return copy;
  }
  // The angular speed at full deflection at this pose speed, rad/s.
  double turnSpeedAt(double pose_speed) const {
    return pose_speed_fast_ > 0 ? ori_velc_ * pose_speed / pose_speed_fast_ : 0;
  }
  // Rotation of the joystick about the tool's z axis, radians.
  void setRotation(double angle) { rotation_angle_ = angle; }

  // The six values of speedLine's first argument, finite and no faster
  // than max_speed (a faster one is scaled down, keeping its direction, with
  // a Warning); or nothing (logged at Error) when the tool pose or the
  // host's pose arithmetic gave no usable pose, or a rotation that changed
  // the stick vector's length by more than kLengthTolerance.
  std::optional<std::vector<double>> speedFor(common_interface::Math& math,
                                              const std::vector<double>& tool_pose,
                                              const StickChecks::ValueMap& stick,
                                              double pose_speed) const;

 private:
  std::vector<double> stickVector(const StickChecks::ValueMap& stick) const;
  // The stick's turn in the joystick's frame, rad/s per unit of angular
  // speed: zero unless six axes are jogged.
  std::vector<double> turnVector(const StickChecks::ValueMap& stick) const;
  static double component(const StickChecks::ValueMap& stick, const char* axis, int sign,
                          bool dead_band);
  void boundPart(std::vector<double>& command, std::size_t first, double limit, const char* name,
                 const char* key, const char* unit) const;
  bool isPose(const std::vector<double>& pose, const char* source) const;
  bool keepsLength(const std::vector<double>& vector, const std::vector<double>& turned,
                   const char* what) const;
  // Of the three values from `first`.
  static double lengthOf(const std::vector<double>& values, std::size_t first);
  void logFrames(const std::vector<double>& base_t_flange, const std::vector<double>& end_t_rocker,
                 const std::vector<double>& base_t_rocker, const std::vector<double>& rocker,
                 const std::vector<double>& speed) const;

  LogCallback log_;
  int axis_x_ = 0;
  int axis_y_ = 0;
  int axis_z_ = 0;
  double rotation_angle_ = 0;
  double max_speed_ = RockerSettings().max_speed;
  double max_angular_speed_ = RockerSettings().max_angular_speed;
  bool six_axes_ = false;
  double ori_velc_ = 0;
  double pose_speed_fast_ = 0;
};

}  // namespace velk::zorv_comm
