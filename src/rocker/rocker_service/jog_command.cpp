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

void JogCommand::configure(const RockerSettings& settings) {
  six_axes_ = settings.turnsTool();
  max_speed_ = settings.boundedMaxSpeed();
  max_angular_speed_ = settings.boundedMaxAngularSpeed();
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
  std::vector<double> rocker = stickVector(stick);
  const std::vector<double> output = math.poseTrans(base_t_rocker, rocker);
  if (!isPose(output, "poseTrans") || !keepsLength(rocker, output, "stick")) return std::nullopt;
  std::vector<double> products(kPoseSize);
  for (std::size_t i = 0; i < kPoseSize; ++i) products[i] = output[i] * pose_speed;
  std::vector<double> speed = {products[0], products[1], products[2], 0, 0, 0};
  if (six_axes_) {
    // The turn is a direction like the stick's push: the joystick frame's
    // rotation carries it into the base frame.
    const std::vector<double> turn = turnVector(stick);
    const std::vector<double> turned = math.poseTrans(base_t_rocker, turn);
    if (!isPose(turned, "poseTrans") || !keepsLength(turn, turned, "turn")) return std::nullopt;
    const double ori_speed = turnSpeedAt(pose_speed);
    for (std::size_t i = 0; i < 3; ++i) {
      rocker[i + 3] = turn[i];
      speed[i + 3] = turned[i] * ori_speed;
    }
  }
  logFrames(tool_pose, end_t_rocker, base_t_rocker, rocker, products);
  if (!isPose(speed, "speed command")) return std::nullopt;
  boundPart(speed, 0, max_speed_, "speed", "max_speed", "m/s");
  boundPart(speed, 3, max_angular_speed_, "angular speed", "max_angular_speed", "rad/s");
  return speed;
}

std::vector<double> JogCommand::stickVector(const StickChecks::ValueMap& stick) const {
  const AxisAssignment first(axis_x_), second(axis_y_), third(axis_z_);
  VELK_LOG(log_, kLogDebug) << "axis1:" << first.axisName() << "axis2:" << second.axisName()
                            << "axis3:" << third.axisName();
  VELK_LOG(log_, kLogDebug) << "axis1_symbol:" << first.sign() << "axis2_symbol:" << second.sign()
                            << "axis3_symbol:" << third.sign();
  // A small third deflection is taken as unintended: operators push the
  // stick sideways and press down a little without meaning to. With six
  // axes every small deflection is, so that only the axes the operator
  // meant move the tool.
  return {component(stick, first.axisName(), first.sign(), six_axes_),
          component(stick, second.axisName(), second.sign(), six_axes_),
          component(stick, third.axisName(), third.sign(), true),
          0,
          0,
          0};
}

std::vector<double> JogCommand::turnVector(const StickChecks::ValueMap& stick) const {
  const AxisAssignment first(axis_x_), second(axis_y_), third(axis_z_);
  return {component(stick, first.rotationAxisName(), first.sign(), true),
          component(stick, second.rotationAxisName(), second.sign(), true),
          component(stick, third.rotationAxisName(), third.sign(), true),
          0,
          0,
          0};
}

double JogCommand::component(const StickChecks::ValueMap& stick, const char* axis, int sign,
                             bool dead_band) {
  if (dead_band && StickChecks::magnitudeOf(stick, axis) < kThirdAxisDeadBand) return 0.0;
  return static_cast<double>(StickChecks::valueOf(stick, axis)) * sign / kAxisScale;
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

// A rotation keeps a vector's length: a host answer that does not (a unit
// slip, a garbage pose) would send the robot faster or elsewhere than the
// stick asks.
bool JogCommand::keepsLength(const std::vector<double>& vector, const std::vector<double>& turned,
                             const char* what) const {
  const double before = lengthOf(vector, 0);
  const double after = lengthOf(turned, 0);
  if (std::abs(after - before) <= kLengthTolerance * before + 1e-12) return true;
  VELK_LOG(log_, kLogError) << "Rocker start refused: poseTrans turned the " << what
                            << " vector of length " << before << " into one of length " << after;
  return false;
}

double JogCommand::lengthOf(const std::vector<double>& values, std::size_t first) {
  return std::sqrt(values[first] * values[first] + values[first + 1] * values[first + 1] +
                   values[first + 2] * values[first + 2]);
}

// Scales the three values from `first` down to `limit`, keeping their
// direction.
void JogCommand::boundPart(std::vector<double>& command, std::size_t first, double limit,
                           const char* name, const char* key, const char* unit) const {
  const double norm = lengthOf(command, first);
  if (norm <= limit) return;
  for (std::size_t i = first; i < first + 3; ++i) command[i] *= limit / norm;
  VELK_LOG(log_, kLogWarning) << "Rocker " << name << " " << norm << " " << unit << " is above "
                              << key << " " << limit << " " << unit << ": scaled down to " << limit
                              << " " << unit;
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
