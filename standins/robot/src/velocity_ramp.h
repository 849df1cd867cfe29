#pragma once

#include <Eigen/Core>

namespace velk::sim {

// One three-dimensional velocity (linear in m/s or angular in rad/s) that
// moves towards a target velocity at a constant rate (m/s^2 or rad/s^2),
// along the straight line between the two in velocity space, and then holds
// it. A ramp from rest keeps its direction, so the path stays straight.
class VelocityRamp {
 public:
  // rate > 0: the magnitude of the velocity change per second.
  void setTarget(const Eigen::Vector3d& target, double rate);
  // Zero velocity and target at once, without a ramp.
  void halt();

  // Moves time on by dt seconds and returns the displacement in that time,
  // the integral of the velocity (metres or a rotation vector in radians).
  Eigen::Vector3d advance(double dt);

  const Eigen::Vector3d& velocity() const;
  // True while the velocity still changes.
  bool ramping() const;
  bool atRest() const;

 private:
  Eigen::Vector3d velocity_ = Eigen::Vector3d::Zero();
  Eigen::Vector3d target_ = Eigen::Vector3d::Zero();
  double rate_ = 1.0;
};

}  // namespace velk::sim
