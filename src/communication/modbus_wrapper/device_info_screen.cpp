#include "communication/modbus_wrapper/device_info_screen.h"

#include "communication/modbus_wrapper/modbus_wrapper_impl.h"

namespace velk::zorv_control {

namespace {

constexpr int kHighestPort = 65535;
constexpr int kFewestDataBits = 5;
constexpr int kMostDataBits = 8;

std::optional<std::string> tcpProblem(const DeviceParameters& p) {
  if (p.port < 1 || p.port > kHighestPort) {
    return "TCP port " + std::to_string(p.port) + " is not in 1..65535";
  }
  return std::nullopt;
}

std::optional<std::string> serialProblem(const DeviceParameters& p) {
  // One field is a path with the default line settings; three or four leave
  // out some of them, which is a text cut short rather than a choice.
  if (p.field_count > 1 && p.field_count < DeviceInfoScreen::kSerialFieldCount) {
    return "a serial line needs path,baud,parity,data bits,stop bits (a TCP slave host,port); "
           "this has " +
           std::to_string(p.field_count) + " fields";
  }
  if (p.baud <= 0) return "baud rate " + std::to_string(p.baud) + " is not above 0";
  // libmodbus takes these three capitals only and refuses the line otherwise.
  if (p.parity != 'N' && p.parity != 'E' && p.parity != 'O') {
    return std::string("parity '") + p.parity + "' is not N, E or O";
  }
  if (p.data_bits < kFewestDataBits || p.data_bits > kMostDataBits) {
    return "data bits " + std::to_string(p.data_bits) + " is not in 5..8";
  }
  if (p.stop_bits != 1 && p.stop_bits != 2) {
    return "stop bits " + std::to_string(p.stop_bits) + " is not 1 or 2";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> DeviceInfoScreen::problem(const std::string& device_info) {
  const DeviceParameters p = ModbusWrapperImpl::parseWithDefaults(device_info);
  if (p.field_count == 0) {
    return "it is empty: give host,port for a TCP slave or path,baud,parity,data bits,stop bits "
           "for a serial line";
  }
  return p.tcp ? tcpProblem(p) : serialProblem(p);
}

}  // namespace velk::zorv_control
