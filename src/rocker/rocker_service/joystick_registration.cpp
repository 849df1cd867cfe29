#include "rocker/rocker_service/joystick_registration.h"

#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

namespace {

using Table = RockerSignalTable;

}  // namespace

JoystickRegistration::JoystickRegistration(LogCallback log, std::string device_info)
    : log_(std::move(log)),
      device_info_(std::move(device_info)),
      device_name_(zorv_control::ModbusWrapperImpl::parseWithDefaults(device_info_).device_name) {
  for (const auto& entry : Table::entries()) signal_names_.emplace_back(entry.name);
}

void JoystickRegistration::add() {
  registered_ = true;
  for (std::size_t index : Table::registrationOrder()) {
    const auto& entry = Table::entries()[index];
    registry_->modbusAddSignal(device_info_, Table::kSlave, entry.address,
                               static_cast<int>(entry.type), entry.name);
  }
  VELK_LOG(log_, kLogInfo) << "Rocker modbus siganl add finish";
}

void JoystickRegistration::remove() {
  registered_ = false;
  for (const auto& name : signal_names_) registry_->modbusDeleteSignal(name);
  VELK_LOG(log_, kLogInfo) << "Rocker modbus siganl remove finish";
}

// A faster stick shortens the time from a release to the stop; the rest
// does not need it.
void JoystickRegistration::applyStickRate() {
  if (stick_rate_ == kRegistryRate) return;
  for (const char* axis : Table::axes()) {
    registry_->modbusSetSignalUpdateFrequency(axis, stick_rate_);
  }
}

// The joystick's own signals keep its device in the registry while they
// are registered, which is the only time this is asked.
double JoystickRegistration::measuredStickRate() const {
  if (!registered_) return 0.0;
  const zorv_control::ModbusDevice* device = registry_->getModbusDeviceByName(device_name_);
  return device ? device->fastestGroupRate() : 0.0;
}

}  // namespace velk::zorv_comm
