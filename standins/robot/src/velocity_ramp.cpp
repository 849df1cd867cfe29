#include "velocity_ramp.h"

namespace velk::sim {

void VelocityRamp::setTarget(const Eigen::Vector3d& target, double rate) {
  target_ = target;
  rate_ = rate;
}

void VelocityRamp::halt() {
  velocity_.setZero();
  target_.setZero();
}

Eigen::Vector3d VelocityRamp::advance(double dt) {
  const Eigen::Vector3d gap = target_ - velocity_;
  const double gap_norm = gap.norm();
  if (gap_norm == 0.0) return velocity_ * dt;
  const double time_to_target = gap_norm / rate_;
  if (time_to_target <= dt) {
    // The target is reached inside this step: ramp, then hold. Assigning the
    // target exactly (rather than adding up steps) makes rest an exact zero.
    const Eigen::Vector3d displacement =
        (velocity_ + target_) * (0.5 * time_to_target) + target_ * (dt - time_to_target);
    velocity_ = target_;
    return displacement;
  }
  const Eigen::Vector3d next = velocity_ + gap * (rate_ * dt / gap_norm);
  const Eigen::Vector3d displacement = (velocity_ + next) * (0.5 * dt);
  velocity_ = next;
  return displacement;
}

const Eigen::Vector3d& VelocityRamp::velocity() const { return velocity_; }

bool VelocityRamp::ramping() const { return velocity_ != target_; }

bool VelocityRamp::atRest() const {
  return velocity_ == Eigen::Vector3d::Zero() && target_ == Eigen::Vector3d::Zero();
}

}  // namespace velk::sim
