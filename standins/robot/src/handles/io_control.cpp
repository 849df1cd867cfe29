#include "host/common_interface/io_control.h"

#include <utility>

#include "host_backend.h"

namespace velk::common_interface {

IoControl::IoControl(std::shared_ptr<HostBackend> backend) : backend_(std::move(backend)) {}

int IoControl::setToolVoltageOutputDomain(int domain) {
  return backend_->setToolVoltageOutputDomain(domain);
}

}  // namespace velk::common_interface
