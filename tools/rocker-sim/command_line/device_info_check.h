#pragma once

#include <optional>
#include <string>

namespace velk::rocker_sim {

// Screens a device-info string before the monitor polls a joystick with it:
// the registry's own screen, which refuses a text that can never name a
// device, and then, since a user at the monitor has the joystick in hand,
// a serial path that is not there (the bundle keeps trying one, as a USB
// adapter may be plugged in later).
class DeviceInfoCheck {
 public:
  // What is wrong with `device_info`, or nothing when it can name a device.
  static std::optional<std::string> problem(const std::string& device_info);
};

}  // namespace velk::rocker_sim
