#include "cartesian_motion.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "pose_convention.h"

namespace velk::sim {

namespace {

constexpr double kUnbounded = std::numeric_limits<double>::infinity();

Eigen::Vector3d linearPart(const std::vector<double>& speed) {
  return {speed[0], speed[1], speed[2]};
}

Eigen::Vector3d angularPart(const std::vector<double>& speed) {
  return {speed[3], speed[4], speed[5]};
}

}  // namespace

CartesianMotion::CartesianMotion()
    : position_(Eigen::Vector3d::Zero()),
      orientation_(Eigen::Quaterniond::Identity()),
      command_time_left_(kUnbounded) {}

void CartesianMotion::speedLine(const std::vector<double>& speed, double a, double t) {
  linear_.setTarget(linearPart(speed), a);
  angular_.setTarget(angularPart(speed), a);
  command_time_left_ = t;
  command_acceleration_ = a;
}

void CartesianMotion::stopLine(double a, double rot_a) {
  rampToRest(a, rot_a);
  command_time_left_ = kUnbounded;
}

void CartesianMotion::halt() {
  linear_.halt();
  angular_.halt();
  command_time_left_ = kUnbounded;
}

void CartesianMotion::advance(double dt) {
  double remaining = dt;
  while (remaining > 0.0) {
    const double step = nextStepLength(remaining);
    integrate(step);
    remaining -= step;
    if (timeBounded()) {
      command_time_left_ -= step;
      if (command_time_left_ <= 0.0) {
        rampToRest(command_acceleration_, command_acceleration_);
        command_time_left_ = kUnbounded;
      }
    }
  }
}

bool CartesianMotion::atRest() const { return linear_.atRest() && angular_.atRest(); }

std::vector<double> CartesianMotion::pose() const {
  Eigen::Isometry3d transform = Eigen::Isometry3d::Identity();
  transform.linear() = orientation_.toRotationMatrix();
  transform.translation() = position_;
  return PoseConvention::toPose(transform);
}

void CartesianMotion::setPose(const std::vector<double>& pose) {
  const Eigen::Isometry3d transform = PoseConvention::toTransform(pose);
  position_ = transform.translation();
  orientation_ = Eigen::Quaterniond(transform.linear()).normalized();
}

std::vector<double> CartesianMotion::speed() const {
  const Eigen::Vector3d& v = linear_.velocity();
  const Eigen::Vector3d& w = angular_.velocity();
  return {v.x(), v.y(), v.z(), w.x(), w.y(), w.z()};
}

bool CartesianMotion::timeBounded() const { return std::isfinite(command_time_left_); }

double CartesianMotion::nextStepLength(double remaining) const {
  double step = remaining;
  // Stop the step at the end of the time bound so the wind-down starts on time.
  if (timeBounded()) step = std::min(step, command_time_left_);
  if (linear_.ramping() || angular_.ramping()) step = std::min(step, kMaxRampStep);
  return step;
}

void CartesianMotion::integrate(double dt) {
  position_ += linear_.advance(dt);
  const Eigen::Vector3d rotation = angular_.advance(dt);
  const double angle = rotation.norm();
  if (angle > 0.0) {
    // Base-frame angular velocity: the increment multiplies from the left.
    orientation_ = (Eigen::Quaterniond(Eigen::AngleAxisd(angle, rotation / angle)) * orientation_)
                       .normalized();
  }
}

void CartesianMotion::rampToRest(double linear_rate, double angular_rate) {
  linear_.setTarget(Eigen::Vector3d::Zero(), linear_rate);
  angular_.setTarget(Eigen::Vector3d::Zero(), angular_rate);
}

}  // namespace velk::sim
