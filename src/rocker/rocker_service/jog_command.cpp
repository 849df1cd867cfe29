#include "rocker/rocker_service/jog_command.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "host/common_interface/zorv_math.h"
#include "rocker/rocker_service/axis_assignment.h"

namespace velk::zorv_comm {

namespace {

std::string joined(const std::vector<double>& values) {
  std::ostringstream text;
  for (std::size_t i = 0; i < values.size(); ++i) text << (i == 0 ? "" : ",") << values[i];
  return text.str();
}

}  // namespace

JogCommand::JogCommand(LogCallback log) : log_(std::move(log)) {}

void JogCommand::setAxis(int x, int y, int z) {
  axis_x_ = x;
  axis_y_ = y;
  axis_z_ = z;
}

std::optional<std::vector<double>> JogCommand::speedFor(common_interface::Math& math,
                                                        const std::vector<double>& tool_pose,
                                                        const StickChecks::ValueMap& stick,
                                                        double pose_speed) const {
  // Nothing short or non-finite is handed on to the host, nor sent on.
  if (!isPose(tool_pose, "tool pose")) return std::nullopt;
  const std::vector<double> end_t_rocker = {0, 0, 0, 0, 0, rotation_angle_};
  std::vector<double> base_t_rocker = math.poseTrans(tool_pose, end_t_rocker);
  if (!isPose(base_t_rocker, "poseTrans")) return std::nullopt;
  // Only the joystick frame's orientation matters: the stick gives a
  // direction, not a place.
  std::fill(base_t_rocker.begin(), base_t_rocker.begin() + 3, 0.0);
  const std::vector<double> rocker = stickVector(stick);
  const std::vector<double> output = math.poseTrans(base_t_rocker, rocker);
  if (!isPose(output, "poseTrans")) return std::nullopt;
  std::vector<double> speed(kPoseSize);
  for (std::size_t i = 0; i < kPoseSize; ++i) speed[i] = output[i] * pose_speed;
  logFrames(tool_pose, end_t_rocker, base_t_rocker, rocker, speed);
  std::vector<double> command = {speed[0], speed[1], speed[2], 0, 0, 0};
  if (!isPose(command, "speed command")) return std::nullopt;
  bound(command);
  return command;
}

std::vector<double> JogCommand::stickVector(const StickChecks::ValueMap& stick) const {
  const AxisAssignment first(axis_x_), second(axis_y_), third(axis_z_);
  VELK_LOG(log_, kLogDebug) << "axis1:" << first.axisName() << "axis2:" << second.axisName()
                            << "axis3:" << third.axisName();
  VELK_LOG(log_, kLogDebug) << "axis1_symbol:" << first.sign() << "axis2_symbol:" << second.sign()
                            << "axis3_symbol:" << third.sign();
  const auto component = [&stick](const AxisAssignment& axis) {
    return static_cast<double>(StickChecks::valueOf(stick, axis.axisName())) * axis.sign() /
           kAxisScale;
  };
  // A small third deflection is taken as unintended: operators push the
  // stick sideways and press down a little without meaning to.
  const bool third_in_dead_band =
      StickChecks::magnitudeOf(stick, third.axisName()) < kThirdAxisDeadBand;
  return {
      component(first), component(second), third_in_dead_band ? 0.0 : component(third), 0, 0, 0};
}

bool JogCommand::isPose(const std::vector<double>& pose, const char* source) const {
  if (pose.size() != kPoseSize) {
    VELK_LOG(log_, kLogError) << "Rocker start skipped: the host returned a pose of " << pose.size()
                              << " values (" << source << ")";
    return false;
  }
  if (std::all_of(pose.begin(), pose.end(), [](double v) { return std::isfinite(v); })) {
    return true;
  }
  VELK_LOG(log_, kLogError) << "Rocker start skipped: the " << source
                            << " is not finite: " << joined(pose);
  return false;
}

void JogCommand::bound(std::vector<double>& command) const {
  const double speed =
      std::sqrt(command[0] * command[0] + command[1] * command[1] + command[2] * command[2]);
  if (speed <= max_speed_) return;
  const double scale = max_speed_ / speed;
  for (std::size_t i = 0; i < 3; ++i) command[i] *= scale;
  VELK_LOG(log_, kLogWarning) << "Rocker speed " << speed << " m/s is above max_speed "
                              << max_speed_ << " m/s: scaled down to " << max_speed_ << " m/s";
}

void JogCommand::logFrames(const std::vector<double>& base_t_flange,
                           const std::vector<double>& end_t_rocker,
                           const std::vector<double>& base_t_rocker,
                           const std::vector<double>& rocker,
                           const std::vector<double>& speed) const {
  VELK_LOG(log_, kLogDebug) << "------------Base_T_Rocker---------------";
  VELK_LOG(log_, kLogDebug) << " Base_T_Flange:" << joined(base_t_flange);
  VELK_LOG(log_, kLogDebug) << " End_T_Rocker:" << joined(end_t_rocker);
  VELK_LOG(log_, kLogDebug) << " Base_T_Rocker:" << joined(base_t_rocker);
  VELK_LOG(log_, kLogDebug) << " Rocker:" << joined(rocker);
  VELK_LOG(log_, kLogDebug) << " Output_speed:" << joined(speed);
  VELK_LOG(log_, kLogDebug) << "-------------------------------";
}

}  // namespace velk::zorv_comm
