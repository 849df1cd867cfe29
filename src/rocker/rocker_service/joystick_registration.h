#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/log_callback.h"

namespace velk::zorv_control {
class ModbusWrapperImpl;
}  // namespace velk::zorv_control

namespace velk::zorv_comm {

// Owns the joystick's registration with the registry: its 16 signals added
// in the table's registration order and removed in table order, whether
// they are registered now, and the update rate of the stick axes.
class JoystickRegistration {
 public:
  // The update frequency the registry gives every signal it adds.
  static constexpr int kRegistryRate = 10;

  JoystickRegistration(LogCallback log, std::string device_info);

  void useRegistry(std::shared_ptr<zorv_control::ModbusWrapperImpl> registry) {
    registry_ = std::move(registry);
  }
  void setStickRate(int rate) { stick_rate_ = rate; }

  void add();
  void remove();
  bool registered() const { return registered_; }
  // For the axes, once added.
  void applyStickRate();
  // How often the joystick's device reads its fastest group (the stick
  // axes) per second, as measured on its line; 0 while not known.
  double measuredStickRate() const;

 private:
  LogCallback log_;
  std::string device_info_;
  std::string device_name_;
  std::vector<std::string> signal_names_;
  std::shared_ptr<zorv_control::ModbusWrapperImpl> registry_;
  bool registered_ = false;
  int stick_rate_ = kRegistryRate;
};

}  // namespace velk::zorv_comm
