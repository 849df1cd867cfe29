#include "host/common_interface/robot_state.h"

#include <utility>

#include "host_backend.h"

namespace velk::common_interface {

RobotState::RobotState(std::shared_ptr<HostBackend> backend) : backend_(std::move(backend)) {}

int RobotState::getRobotModeType() { return backend_->getRobotModeType(); }

int RobotState::getSafetyModeType() { return backend_->getSafetyModeType(); }

bool RobotState::isSteady() { return backend_->isSteady(); }

std::vector<double> RobotState::getToolPose() { return backend_->getToolPose(); }

}  // namespace velk::common_interface
