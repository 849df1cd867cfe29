#include "rocker-sim/command_line/device_info_check.h"

#include <sys/stat.h>

#include <cctype>

#include "communication/modbus_wrapper/modbus_wrapper_impl.h"

namespace velk::rocker_sim {

namespace {

constexpr int kHighestPort = 65535;

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::optional<std::string> DeviceInfoCheck::problem(const std::string& device_info) {
  if (device_info.find_first_not_of(", \t") == std::string::npos) {
    return "the device info is empty: give host,port for TCP or path,baud,parity,data,stop "
           "for a serial line";
  }
  // The registry's own defaults and parser, so that what is checked is what
  // the bundle would use.
  std::string name, host = "127.0.0.1", path = "/dev/ttyUSB0";
  int port = 502, baud = 9600, data_bits = 8, stop_bits = 1;
  char parity = 'N';
  bool tcp = true;
  zorv_control::ModbusWrapperImpl::parseDeviceInfo(device_info, name, host, port, path, baud,
                                                   parity, data_bits, stop_bits, tcp);
  if (tcp) {
    if (port < 1 || port > kHighestPort) {
      return "device info " + quoted(device_info) + ": TCP port " + std::to_string(port) +
             " is not 1..65535";
    }
    return std::nullopt;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return "serial path " + path + " does not exist (device info " + quoted(device_info) + ")";
  }
  if (!S_ISCHR(info.st_mode)) return "serial path " + path + " is not a serial device";
  if (baud <= 0) return "device info " + quoted(device_info) + ": baud rate must be above 0";
  const char p = static_cast<char>(std::toupper(static_cast<unsigned char>(parity)));
  if (p != 'N' && p != 'E' && p != 'O') {
    return "device info " + quoted(device_info) + ": parity must be N, E or O";
  }
  if (data_bits < 5 || data_bits > 8) {
    return "device info " + quoted(device_info) + ": data bits must be 5 to 8";
  }
  if (stop_bits != 1 && stop_bits != 2) {
    return "device info " + quoted(device_info) + ": stop bits must be 1 or 2";
  }
  return std::nullopt;
}

}  // namespace velk::rocker_sim
