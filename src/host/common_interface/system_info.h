#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velk::common_interface {

class HostBackend;

// Facts about the control system.
class SystemInfo {
 public:
  explicit SystemInfo(std::shared_ptr<HostBackend> backend);
  // Control system time in milliseconds since the control system started.
  long long getControlSystemTime();

 private:
  std::shared_ptr<HostBackend> backend_;
};

}  // namespace velk::common_interface
