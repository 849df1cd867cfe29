#include "pose_convention.h"

#include <cmath>

namespace velk::sim {

namespace {

// Below this cos(pitch) the roll and yaw axes are taken as aligned: the
// separate angles are no longer determined by the matrix.
constexpr double kGimbalLockCos = 1e-9;

}  // namespace

Eigen::Matrix3d PoseConvention::toRotation(double rx, double ry, double rz) {
  return (Eigen::AngleAxisd(rz, Eigen::Vector3d::UnitZ()) *
          Eigen::AngleAxisd(ry, Eigen::Vector3d::UnitY()) *
          Eigen::AngleAxisd(rx, Eigen::Vector3d::UnitX()))
      .toRotationMatrix();
}

Eigen::Vector3d PoseConvention::toRollPitchYaw(const Eigen::Matrix3d& r) {
  const double cos_pitch = std::hypot(r(0, 0), r(1, 0));
  const double pitch = std::atan2(-r(2, 0), cos_pitch);
  if (cos_pitch < kGimbalLockCos) {
    return {0.0, pitch, std::atan2(-r(0, 1), r(1, 1))};
  }
  return {std::atan2(r(2, 1), r(2, 2)), pitch, std::atan2(r(1, 0), r(0, 0))};
}

Eigen::Isometry3d PoseConvention::toTransform(const std::vector<double>& pose) {
  Eigen::Isometry3d transform = Eigen::Isometry3d::Identity();
  transform.linear() = toRotation(pose.at(3), pose.at(4), pose.at(5));
  transform.translation() = Eigen::Vector3d(pose.at(0), pose.at(1), pose.at(2));
  return transform;
}

std::vector<double> PoseConvention::toPose(const Eigen::Isometry3d& transform) {
  const Eigen::Vector3d position = transform.translation();
  const Eigen::Vector3d angles = toRollPitchYaw(transform.linear());
  return {position.x(), position.y(), position.z(), angles.x(), angles.y(), angles.z()};
}

std::vector<double> PoseConvention::compose(const std::vector<double>& p1,
                                            const std::vector<double>& p2) {
  if (p1.size() != kPoseSize || p2.size() != kPoseSize) return {};
  return toPose(toTransform(p1) * toTransform(p2));
}

}  // namespace velk::sim
