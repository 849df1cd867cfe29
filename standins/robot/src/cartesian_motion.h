#pragma once

#include <Eigen/Geometry>
#include <vector>

#include "velocity_ramp.h"

namespace velk::sim {

// The tool's Cartesian motion: its pose and its speed, driven by speed and
// stop commands and moved on by explicit time steps.
//
// Pose: x, y, z (m) and roll-pitch-yaw rx, ry, rz (rad), see PoseConvention.
// Speed: x, y, z (m/s) of the tool point and rx, ry, rz (rad/s), the angular
// velocity about the fixed base axes (not the rates of the three angles).
//
// A speed command ramps the linear and the angular velocity to the commanded
// ones, each at the command's acceleration a (m/s^2 and rad/s^2), holds them,
// and once t seconds have passed since the command ramps both back to rest at
// the same a: a trapezoid whose area is |speed| * t when t allows the full
// speed to be reached. A stop command ramps to rest at its own linear and
// angular deceleration and ends the time bound. A new command replaces the
// one in progress, ramping from the velocity reached.
class CartesianMotion {
 public:
  static constexpr std::size_t kSpeedSize = 6;
  // While a velocity changes, time is cut into steps of at most this length
  // (s): the angular velocity may turn while it ramps, and the orientation is
  // integrated from one rotation vector per step.
  static constexpr double kMaxRampStep = 1e-3;

  CartesianMotion();

  // speed: six finite values; a > 0; t > 0 (the caller validates).
  void speedLine(const std::vector<double>& speed, double a, double t);
  // a, rot_a > 0 (the caller validates).
  void stopLine(double a, double rot_a);
  // Rest at once, without a ramp: what the brakes of a safety stop do.
  void halt();

  void advance(double dt);

  // At rest and not commanded to move: both velocities and both targets zero.
  bool atRest() const;
  std::vector<double> pose() const;
  // pose: six values (the caller validates). The speed is not changed.
  void setPose(const std::vector<double>& pose);
  std::vector<double> speed() const;

 private:
  bool timeBounded() const;
  double nextStepLength(double remaining) const;
  void integrate(double dt);
  void rampToRest(double linear_rate, double angular_rate);

  VelocityRamp linear_;
  VelocityRamp angular_;
  Eigen::Vector3d position_;
  Eigen::Quaterniond orientation_;
  // Seconds until the current speed command winds down; infinite when none.
  double command_time_left_;
  double command_acceleration_ = 1.0;
};

}  // namespace velk::sim
