#include "kelmi/periodic_task.h"

#include <utility>

namespace velk::kelmi {

PeriodicTask::PeriodicTask(std::string name) : name_(std::move(name)) {}

const std::string& PeriodicTask::name() const { return name_; }

}  // namespace velk::kelmi
