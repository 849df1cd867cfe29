#pragma once

#include <optional>
#include <string>

namespace velk::rocker_sim {

// Screens a device-info string before a joystick is polled with it. The
// registry takes any text (a missing field keeps its default, a field
// without digits reads as 0), which leaves a user with a device that simply
// never answers; this names what is wrong instead.
class DeviceInfoCheck {
 public:
  // What is wrong with `device_info`, or nothing when it can name a device.
  static std::optional<std::string> problem(const std::string& device_info);
};

}  // namespace velk::rocker_sim
