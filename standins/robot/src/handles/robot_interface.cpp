#include "host/common_interface/robot_interface.h"

#include <utility>

#include "host/common_interface/io_control.h"
#include "host/common_interface/motion_control.h"
#include "host/common_interface/robot_manage.h"
#include "host/common_interface/robot_state.h"
#include "host_backend.h"

namespace velk::common_interface {

RobotInterface::RobotInterface(std::shared_ptr<HostBackend> backend)
    : backend_(std::move(backend)) {}

std::shared_ptr<RobotState> RobotInterface::getRobotState() {
  if (backend_->handleWithheld("getRobotState")) return nullptr;
  return std::make_shared<RobotState>(backend_);
}

std::shared_ptr<MotionControl> RobotInterface::getMotionControl() {
  if (backend_->handleWithheld("getMotionControl")) return nullptr;
  return std::make_shared<MotionControl>(backend_);
}

std::shared_ptr<RobotManage> RobotInterface::getRobotManage() {
  if (backend_->handleWithheld("getRobotManage")) return nullptr;
  return std::make_shared<RobotManage>(backend_);
}

std::shared_ptr<IoControl> RobotInterface::getIoControl() {
  if (backend_->handleWithheld("getIoControl")) return nullptr;
  return std::make_shared<IoControl>(backend_);
}

}  // namespace velk::common_interface
