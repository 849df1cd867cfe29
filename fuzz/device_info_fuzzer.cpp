// The device-info parser on arbitrary text. Besides crashes and undefined
// behaviour it checks what callers rely on: the form follows from the number
// of non-empty comma-separated fields alone, the device name is the one the
// device table is keyed by, fields the text does not supply keep the
// caller's defaults, and the screen in front of the registry takes any text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "communication/modbus_wrapper/device_info_screen.h"
#include "communication/modbus_wrapper/device_parameters.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "fuzz_check.h"

namespace {

using rocker_fuzz::require;
using velk::zorv_control::DeviceInfoScreen;
using velk::zorv_control::DeviceParameters;
using velk::zorv_control::ModbusWrapperImpl;

// Non-empty runs between commas, counted independently of the parser.
std::vector<std::string> fieldsOf(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find(',', begin);
    if (end == std::string::npos) end = text.size();
    if (end > begin) fields.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return fields;
}

int numberOf(const std::string& field) {
  return static_cast<int>(std::strtol(field.c_str(), nullptr, 10));
}

void checkSerialFields(const std::vector<std::string>& fields, const DeviceParameters& p) {
  const DeviceParameters defaults;
  require(p.parity == (fields.size() >= 3 ? fields[2].front() : defaults.parity),
          "parity from the first character of field 3");
  require(p.data_bits == (fields.size() >= 4 ? numberOf(fields[3]) : defaults.data_bits),
          "data bits from field 4");
  require(p.stop_bits == (fields.size() >= 5 ? numberOf(fields[4]) : defaults.stop_bits),
          "stop bits from field 5");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  DeviceParameters p;
  const int result =
      ModbusWrapperImpl::parseDeviceInfo(text, p.device_name, p.host, p.port, p.serial_path, p.baud,
                                         p.parity, p.data_bits, p.stop_bits, p.tcp);
  require(result == 0, "parseDeviceInfo to accept every text");

  const DeviceParameters defaults;
  const std::vector<std::string> fields = fieldsOf(text);
  require(p.host == (fields.empty() ? defaults.host : fields[0]), "host from field 1");
  require(p.serial_path == (fields.empty() ? defaults.serial_path : fields[0]),
          "serial path from field 1");
  require(p.port == (fields.size() >= 2 ? numberOf(fields[1]) : defaults.port),
          "port from field 2");
  require(p.baud == (fields.size() >= 2 ? p.port : defaults.baud),
          "baud read from the same field as the port");
  if (fields.size() == 2) {
    require(p.tcp, "two fields to be the TCP form");
    require(p.device_name == p.host + ":" + std::to_string(p.port), "device name host:port");
  } else {
    require(!p.tcp, "any count but two to be the serial form");
    require(p.device_name == p.serial_path, "device name = serial path");
    checkSerialFields(fields, p);
  }
  // The screen takes any text too, and counts the fields as the parser does;
  // a text without any is never let through.
  require(ModbusWrapperImpl::parseWithDefaults(text).field_count == static_cast<int>(fields.size()),
          "the screen's field count to be the parser's");
  require(!fields.empty() || DeviceInfoScreen::problem(text).has_value(),
          "a text without fields to be refused");
  return 0;
}
