#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velk::common_interface {

class HostBackend;

class RobotState;
class MotionControl;
class RobotManage;
class IoControl;

// Entry point to one robot.
class RobotInterface {
 public:
  explicit RobotInterface(std::shared_ptr<HostBackend> backend);
  std::shared_ptr<RobotState> getRobotState();
  std::shared_ptr<MotionControl> getMotionControl();
  std::shared_ptr<RobotManage> getRobotManage();
  std::shared_ptr<IoControl> getIoControl();

 private:
  std::shared_ptr<HostBackend> backend_;
};

}  // namespace velk::common_interface
