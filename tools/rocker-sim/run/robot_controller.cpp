#include "rocker-sim/run/robot_controller.h"

#include <sstream>

#include "robot_sim/robot_codes.h"
#include "robot_sim/simulated_robot.h"

namespace velk::rocker_sim {

RobotController::RobotController(sim::SimulatedRobot& robot, RunRecord& record)
    : robot_(robot), record_(record) {}

bool RobotController::readyToMove() const {
  return robot_.robotModeType() == sim::kRobotModeRunning &&
         robot_.safetyModeType() == sim::kSafetyModeNormal && !robot_.freedriveEnabled();
}

void RobotController::apply(const RobotChange& change, double now) {
  const bool was_moving = !robot_.steady();
  const bool was_ready = readyToMove();
  if (change.tool_pose) robot_.setToolPose(*change.tool_pose);
  if (change.mode_type) robot_.setRobotModeType(*change.mode_type);
  if (change.safety_mode_type) robot_.setSafetyModeType(*change.safety_mode_type);
  if (change.runtime_status) robot_.setRuntimeStatus(*change.runtime_status);
  if (change.freedrive) robot_.setFreedriveEnabled(*change.freedrive);
  const bool halts = was_ready && was_moving && !readyToMove();
  record_.robot_events.push_back(RobotEvent{now, describe(change), halts});
}

std::string RobotController::describe(const RobotChange& change) {
  std::ostringstream out;
  const char* separator = "";
  auto item = [&](const char* name, auto value) {
    out << separator << name << '=' << value;
    separator = " ";
  };
  if (change.mode_type) item("mode_type", *change.mode_type);
  if (change.safety_mode_type) item("safety_mode_type", *change.safety_mode_type);
  if (change.runtime_status) item("runtime_status", *change.runtime_status);
  if (change.freedrive) item("freedrive", *change.freedrive ? "on" : "off");
  if (change.tool_pose) {
    std::ostringstream pose;
    for (std::size_t i = 0; i < change.tool_pose->size(); ++i) {
      pose << (i > 0 ? "," : "") << (*change.tool_pose)[i];
    }
    item("tool_pose", pose.str());
  }
  return out.str();
}

}  // namespace velk::rocker_sim
