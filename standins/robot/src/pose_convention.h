#pragma once

#include <Eigen/Geometry>
#include <vector>

namespace velk::sim {

// The robot's pose convention: x, y, z in metres, then roll rx, pitch ry and
// yaw rz in radians about the fixed base axes (extrinsic X, then Y, then Z),
// so that the rotation is R = Rz(rz) * Ry(ry) * Rx(rx).
class PoseConvention {
 public:
  static constexpr std::size_t kPoseSize = 6;

  // The rigid transform of a six-value pose.
  static Eigen::Isometry3d toTransform(const std::vector<double>& pose);
  // The six-value pose of a rigid transform. Angles come back in the ranges
  // rx, rz in [-pi, pi] and ry in [-pi/2, pi/2]; at ry = +-pi/2, where roll
  // and yaw share one axis, rx is given as 0 and rz carries the rotation.
  static std::vector<double> toPose(const Eigen::Isometry3d& transform);
  static Eigen::Matrix3d toRotation(double rx, double ry, double rz);
  static Eigen::Vector3d toRollPitchYaw(const Eigen::Matrix3d& rotation);
  // T(p1) * T(p2): p2, given in the frame of p1, expressed in p1's reference.
  // Empty when either pose does not have six values.
  static std::vector<double> compose(const std::vector<double>& p1, const std::vector<double>& p2);
};

}  // namespace velk::sim
