#pragma once

#include <optional>
#include <string>

namespace velk::zorv_control {

// Screens a device-info text before a device is made from it. The parser
// takes any text (a missing field keeps its default, a field without digits
// reads as 0), so a text that can never reach a slave would otherwise leave
// a device that is retried forever without a word about why. Whether the
// serial path exists is not screened: a USB adapter may be plugged in later,
// and the failed connection says so meanwhile.
class DeviceInfoScreen {
 public:
  static constexpr int kSerialFieldCount = 5;

  // What is wrong with `device_info`, or nothing when it can name a device.
  static std::optional<std::string> problem(const std::string& device_info);
};

}  // namespace velk::zorv_control
