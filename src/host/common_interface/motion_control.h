#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velk::common_interface {

class HostBackend;

// Cartesian motion commands of one robot. Both return 0 when the robot took
// the command and a negative code when it refused it.
class MotionControl {
 public:
  explicit MotionControl(std::shared_ptr<HostBackend> backend);
  // Starts a Cartesian speed motion of the tool, replacing any running one.
  // speed: x, y, z in m/s and rx, ry, rz in rad/s, in the robot base frame.
  // a: acceleration towards that speed (m/s^2; rad/s^2 for the rotation).
  // t: seconds after which the motion slows down to rest by itself, so that
  // a lost stop command cannot leave the arm running.
  int speedLine(const std::vector<double>& speed, double a, double t);
  // Brings a speed motion to rest with the linear (m/s^2) and angular
  // (rad/s^2) decelerations given.
  int stopLine(double a, double rot_a);

 private:
  std::shared_ptr<HostBackend> backend_;
};

}  // namespace velk::common_interface
