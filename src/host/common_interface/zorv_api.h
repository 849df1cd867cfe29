#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velk::common_interface {

class HostBackend;

class RobotInterface;
class RuntimeMachine;
class Math;
class SystemInfo;

// The robot API the host hands to an extension.
class ZorvApi {
 public:
  explicit ZorvApi(std::shared_ptr<HostBackend> backend);
  // Names of the robots; the first is the one to drive, empty means none.
  std::vector<std::string> getRobotNames();
  std::shared_ptr<RobotInterface> getRobotInterface(const std::string& name);
  std::shared_ptr<RuntimeMachine> getRuntimeMachine();
  std::shared_ptr<Math> getMath();
  std::shared_ptr<SystemInfo> getSystemInfo();

 private:
  std::shared_ptr<HostBackend> backend_;
};

}  // namespace velk::common_interface
