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
  return std::make_shared<RobotState>(backend_);
}

std::shared_ptr<MotionControl> RobotInterface::getMotionControl() {
  return std::make_shared<MotionControl>(backend_);
}

std::shared_ptr<RobotManage> RobotInterface::getRobotManage() {
  return std::make_shared<RobotManage>(backend_);
}

std::shared_ptr<IoControl> RobotInterface::getIoControl() {
  return std::make_shared<IoControl>(backend_);
}

}  // namespace velk::common_interface
