#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velk::common_interface {

class HostBackend;

// Inputs and outputs of one robot.
class IoControl {
 public:
  explicit IoControl(std::shared_ptr<HostBackend> backend);
  // Sets the tool voltage output (volts: 0, 12 or 24).
  int setToolVoltageOutputDomain(int domain);

 private:
  std::shared_ptr<HostBackend> backend_;
};

}  // namespace velk::common_interface
