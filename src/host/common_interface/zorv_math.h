#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velk::common_interface {

class HostBackend;

// Pose arithmetic.
class Math {
 public:
  explicit Math(std::shared_ptr<HostBackend> backend);
  // p2 (given relative to frame p1) composed onto p1, relative to the
  // reference of p1: the rigid transform T(p1) * T(p2). Poses are x, y, z
  // (metres) and rx, ry, rz (radians, roll-pitch-yaw as in getToolPose).
  std::vector<double> poseTrans(const std::vector<double>& p1, const std::vector<double>& p2);

 private:
  std::shared_ptr<HostBackend> backend_;
};

}  // namespace velk::common_interface
