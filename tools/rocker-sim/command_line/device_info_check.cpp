#include "rocker-sim/command_line/device_info_check.h"

#include <sys/stat.h>

#include "communication/modbus_wrapper/device_info_screen.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"

namespace velk::rocker_sim {

std::optional<std::string> DeviceInfoCheck::problem(const std::string& device_info) {
  if (const auto problem = zorv_control::DeviceInfoScreen::problem(device_info)) {
    return "device info \"" + device_info + "\": " + *problem;
  }
  const auto params = zorv_control::ModbusWrapperImpl::parseWithDefaults(device_info);
  if (params.tcp) return std::nullopt;
  struct stat info {};
  if (::stat(params.serial_path.c_str(), &info) != 0) {
    return "serial path " + params.serial_path + " does not exist (device info \"" + device_info +
           "\")";
  }
  if (!S_ISCHR(info.st_mode))
    return "serial path " + params.serial_path + " is not a serial device";
  return std::nullopt;
}

}  // namespace velk::rocker_sim
