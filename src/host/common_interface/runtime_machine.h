#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velk::common_interface {

class HostBackend;

// The host program runner.
class RuntimeMachine {
 public:
  explicit RuntimeMachine(std::shared_ptr<HostBackend> backend);
  // Runner status: 0 stopped, 3 paused, 6 idle (jogging allowed).
  int getStatus();
  int deleteTask(int id);

 private:
  std::shared_ptr<HostBackend> backend_;
};

}  // namespace velk::common_interface
