#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velk::common_interface {

class HostBackend;

// Cartesian motion commands of one robot.
class MotionControl {
 public:
  explicit MotionControl(std::shared_ptr<HostBackend> backend);
  // Starts a Cartesian speed motion: speed (x, y, z, rx, ry, rz), acceleration
  // a, bounded in time by t.
  int speedLine(const std::vector<double>& speed, double a, double t);
  // Stops a speed motion with the linear and angular decelerations given.
  int stopLine(double a, double rot_a);

 private:
  std::shared_ptr<HostBackend> backend_;
};

}  // namespace velk::common_interface
