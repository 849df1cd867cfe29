#include "host/common_interface/motion_control.h"

#include <utility>

#include "host_backend.h"

namespace velk::common_interface {

MotionControl::MotionControl(std::shared_ptr<HostBackend> backend) : backend_(std::move(backend)) {}

int MotionControl::speedLine(const std::vector<double>& speed, double a, double t) {
  return backend_->speedLine(speed, a, t);
}

int MotionControl::stopLine(double a, double rot_a) { return backend_->stopLine(a, rot_a); }

}  // namespace velk::common_interface
