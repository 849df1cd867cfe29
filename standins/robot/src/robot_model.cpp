#include "robot_model.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "pose_convention.h"
#include "robot_sim/robot_codes.h"

namespace velk::sim {

namespace {

// A robot standing ready to be jogged, the tool 0.4 m in front of the base
// and 0.3 m up, its frame aligned with the base frame.
const std::vector<double> kInitialToolPose = {0.4, 0.0, 0.3, 0.0, 0.0, 0.0};
const char* const kDefaultRobotName = "rob1";

bool allFinite(const std::vector<double>& values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

bool positiveFinite(double value) { return std::isfinite(value) && value > 0.0; }

}  // namespace

RobotModel::RobotModel()
    : robot_mode_type_(kRobotModeRunning),
      safety_mode_type_(kSafetyModeNormal),
      runtime_status_(kRuntimeIdle),
      robot_names_{kDefaultRobotName} {
  motion_.setPose(kInitialToolPose);
}

int RobotModel::robotModeType() const { return robot_mode_type_; }

void RobotModel::setRobotModeType(int type) {
  robot_mode_type_ = type;
  haltUnlessReady();
}

int RobotModel::safetyModeType() const { return safety_mode_type_; }

void RobotModel::setSafetyModeType(int type) {
  safety_mode_type_ = type;
  haltUnlessReady();
}

int RobotModel::runtimeStatus() const { return runtime_status_; }

void RobotModel::setRuntimeStatus(int status) { runtime_status_ = status; }

bool RobotModel::freedriveEnabled() const { return freedrive_enabled_; }

void RobotModel::setFreedriveEnabled(bool enabled) {
  freedrive_enabled_ = enabled;
  haltUnlessReady();
}

const std::vector<std::string>& RobotModel::robotNames() const { return robot_names_; }

void RobotModel::setRobotNames(std::vector<std::string> names) { robot_names_ = std::move(names); }

int RobotModel::toolVoltage() const { return tool_voltage_; }

int RobotModel::setToolVoltage(int volts) {
  if (volts != 0 && volts != 12 && volts != 24) return kResultInvalidArgument;
  tool_voltage_ = volts;
  return kResultOk;
}

int RobotModel::speedLine(const std::vector<double>& speed, double a, double t) {
  if (speed.size() != CartesianMotion::kSpeedSize || !allFinite(speed) || !positiveFinite(a) ||
      !positiveFinite(t)) {
    return kResultInvalidArgument;
  }
  if (!readyToMove()) return kResultNotReady;
  motion_.speedLine(speed, a, t);
  return kResultOk;
}

int RobotModel::stopLine(double a, double rot_a) {
  if (!positiveFinite(a) || !positiveFinite(rot_a)) return kResultInvalidArgument;
  motion_.stopLine(a, rot_a);
  return kResultOk;
}

bool RobotModel::steady() const { return motion_.atRest(); }

std::vector<double> RobotModel::toolPose() const { return motion_.pose(); }

void RobotModel::setToolPose(const std::vector<double>& pose) {
  if (pose.size() != PoseConvention::kPoseSize || !allFinite(pose)) {
    throw std::invalid_argument("a tool pose needs six finite values: x, y, z, rx, ry, rz");
  }
  motion_.setPose(pose);
}

std::vector<double> RobotModel::toolSpeed() const { return motion_.speed(); }

void RobotModel::advance(std::chrono::nanoseconds dt) {
  if (dt <= std::chrono::nanoseconds::zero()) return;
  motion_.advance(std::chrono::duration<double>(dt).count());
  sim_time_ += dt;
}

std::chrono::nanoseconds RobotModel::simTime() const { return sim_time_; }

bool RobotModel::readyToMove() const {
  return robot_mode_type_ == kRobotModeRunning && safety_mode_type_ == kSafetyModeNormal &&
         !freedrive_enabled_;
}

void RobotModel::haltUnlessReady() {
  if (!readyToMove()) motion_.halt();
}

}  // namespace velk::sim
