#include "host/common_interface/runtime_machine.h"

#include <utility>

#include "host_backend.h"

namespace velk::common_interface {

RuntimeMachine::RuntimeMachine(std::shared_ptr<HostBackend> backend)
    : backend_(std::move(backend)) {}

int RuntimeMachine::getStatus() { return backend_->getStatus(); }

int RuntimeMachine::deleteTask(int id) { return backend_->deleteTask(id); }

}  // namespace velk::common_interface
