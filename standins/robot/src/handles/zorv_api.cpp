#include "host/common_interface/zorv_api.h"

#include <utility>

#include "host/common_interface/robot_interface.h"
#include "host/common_interface/runtime_machine.h"
#include "host/common_interface/system_info.h"
#include "host/common_interface/zorv_math.h"
#include "host_backend.h"

namespace velk::common_interface {

ZorvApi::ZorvApi(std::shared_ptr<HostBackend> backend) : backend_(std::move(backend)) {}

std::vector<std::string> ZorvApi::getRobotNames() { return backend_->getRobotNames(); }

std::shared_ptr<RobotInterface> ZorvApi::getRobotInterface(const std::string& name) {
  backend_->getRobotInterface(name);
  return std::make_shared<RobotInterface>(backend_);
}

std::shared_ptr<RuntimeMachine> ZorvApi::getRuntimeMachine() {
  if (backend_->handleWithheld("getRuntimeMachine")) return nullptr;
  return std::make_shared<RuntimeMachine>(backend_);
}

std::shared_ptr<Math> ZorvApi::getMath() {
  if (backend_->handleWithheld("getMath")) return nullptr;
  return std::make_shared<Math>(backend_);
}

std::shared_ptr<SystemInfo> ZorvApi::getSystemInfo() {
  if (backend_->handleWithheld("getSystemInfo")) return nullptr;
  return std::make_shared<SystemInfo>(backend_);
}

}  // namespace velk::common_interface
