#pragma once

namespace velk::zorv_control {

class ModbusDevice;
class ModbusWrapperImpl;

// A device an operation is calling into. While any ReservedDevice holds it,
// the poll thread does not prune it, even when it has no signals and no raw
// requests left: a caller may empty a device and still be inside one of its
// calls (a regroup that yields to the task thread, say) when the next pass
// begins. Releasing the last reservation makes the device prunable again.
//
// Obtained from the registry only (which reserves under its device lock);
// movable, not copyable. An empty one holds no device.
class ReservedDevice {
 public:
  ReservedDevice() = default;
  ReservedDevice(ReservedDevice&& other) noexcept;
  ReservedDevice& operator=(ReservedDevice&& other) noexcept;
  ~ReservedDevice();

  ReservedDevice(const ReservedDevice&) = delete;
  ReservedDevice& operator=(const ReservedDevice&) = delete;

  ModbusDevice* get() const { return device_; }
  ModbusDevice* operator->() const { return device_; }
  explicit operator bool() const { return device_ != nullptr; }

 private:
  friend class ModbusWrapperImpl;
  // The registry has already counted the reservation.
  ReservedDevice(ModbusWrapperImpl& registry, ModbusDevice* device);
  void release() noexcept;

  ModbusWrapperImpl* registry_ = nullptr;
  ModbusDevice* device_ = nullptr;
};

}  // namespace velk::zorv_control
