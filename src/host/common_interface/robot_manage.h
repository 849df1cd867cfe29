#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velk::common_interface {

class HostBackend;

// Management of one robot.
class RobotManage {
 public:
  explicit RobotManage(std::shared_ptr<HostBackend> backend);
  // True while hand guiding (freedrive) is active.
  bool isFreedriveEnabled();

 private:
  std::shared_ptr<HostBackend> backend_;
};

}  // namespace velk::common_interface
