#include "communication/modbus_wrapper/reserved_device.h"

#include <utility>

#include "communication/modbus_wrapper/modbus_wrapper_impl.h"

namespace velk::zorv_control {

ReservedDevice::ReservedDevice(ModbusWrapperImpl& registry, ModbusDevice* device)
    : registry_(device != nullptr ? &registry : nullptr), device_(device) {}

ReservedDevice::ReservedDevice(ReservedDevice&& other) noexcept
    : registry_(std::exchange(other.registry_, nullptr)),
      device_(std::exchange(other.device_, nullptr)) {}

ReservedDevice& ReservedDevice::operator=(ReservedDevice&& other) noexcept {
  if (this != &other) {
    release();
    registry_ = std::exchange(other.registry_, nullptr);
    device_ = std::exchange(other.device_, nullptr);
  }
  return *this;
}

ReservedDevice::~ReservedDevice() { release(); }

void ReservedDevice::release() noexcept {
  if (registry_ != nullptr) registry_->releaseDevice(device_);
  registry_ = nullptr;
  device_ = nullptr;
}

}  // namespace velk::zorv_control
