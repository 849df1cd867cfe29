#include "host/common_interface/robot_manage.h"

#include <utility>

#include "host_backend.h"

namespace velk::common_interface {

RobotManage::RobotManage(std::shared_ptr<HostBackend> backend) : backend_(std::move(backend)) {}

bool RobotManage::isFreedriveEnabled() { return backend_->isFreedriveEnabled(); }

}  // namespace velk::common_interface
