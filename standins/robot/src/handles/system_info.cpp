#include "host/common_interface/system_info.h"

#include <utility>

#include "host_backend.h"

namespace velk::common_interface {

SystemInfo::SystemInfo(std::shared_ptr<HostBackend> backend) : backend_(std::move(backend)) {}

long long SystemInfo::getControlSystemTime() { return backend_->getControlSystemTime(); }

}  // namespace velk::common_interface
