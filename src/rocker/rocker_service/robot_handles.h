#pragma once

#include <memory>

#include "host/common_interface/motion_control.h"
#include "host/common_interface/robot_interface.h"
#include "host/common_interface/robot_state.h"
#include "rocker/rocker_service/host_call_guard.h"

namespace velk::zorv_comm {

// The robot's handles used most, each a host fault when the host gives none.
inline std::shared_ptr<common_interface::RobotState> stateOf(
    common_interface::RobotInterface& robot) {
  return HostCallGuard::require(robot.getRobotState(), "getRobotState");
}

inline std::shared_ptr<common_interface::MotionControl> motionOf(
    common_interface::RobotInterface& robot) {
  return HostCallGuard::require(robot.getMotionControl(), "getMotionControl");
}

}  // namespace velk::zorv_comm
