#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "communication/modbus_wrapper/device_parameters.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"

namespace {

using velk::zorv_control::DeviceParameters;
using velk::zorv_control::ModbusWrapperImpl;

// What a device-info text must come out as. `where` is the serial path or
// the host, `number` the baud rate or the port, by form.
struct Row {
  std::string text;
  bool tcp;
  std::string device_name;
  std::string where;
  int number;
  char parity;
  int data_bits;
  int stop_bits;
};

TEST(DeviceInfoParsing, EveryFormOfTheDeviceInfoText) {
  const std::vector<Row> rows = {
      {"/dev/ttyUSB0,115200,N,8,1", false, "/dev/ttyUSB0", "/dev/ttyUSB0", 115200, 'N', 8, 1},
      {"", false, "/dev/ttyUSB0", "/dev/ttyUSB0", 9600, 'N', 8, 1},
      {"/dev/ttyS1", false, "/dev/ttyS1", "/dev/ttyS1", 9600, 'N', 8, 1},
      {"127.0.0.1,1502", true, "127.0.0.1:1502", "127.0.0.1", 1502, 'N', 8, 1},
      {"/dev/ttyS1,19200", true, "/dev/ttyS1:19200", "/dev/ttyS1", 19200, 'N', 8, 1},
      {"127.0.0.1,0502", true, "127.0.0.1:502", "127.0.0.1", 502, 'N', 8, 1},
      {"127.0.0.1,+502", true, "127.0.0.1:502", "127.0.0.1", 502, 'N', 8, 1},
      {",,127.0.0.1,,502,", true, "127.0.0.1:502", "127.0.0.1", 502, 'N', 8, 1},
      {"127.0.0.1,http", true, "127.0.0.1:0", "127.0.0.1", 0, 'N', 8, 1},
      {"127.0.0.1,502,E", false, "127.0.0.1", "127.0.0.1", 502, 'E', 8, 1},
      {"/dev/ttyS1,9600,Even,8,1", false, "/dev/ttyS1", "/dev/ttyS1", 9600, 'E', 8, 1},
      {"/dev/ttyS1, 9600, N, 8, 1", false, "/dev/ttyS1", "/dev/ttyS1", 9600, ' ', 8, 1},
      {"/dev/ttyS2,19200,O,7,2,ignored", false, "/dev/ttyS2", "/dev/ttyS2", 19200, 'O', 7, 2},
      {"/dev/ttyS2,19200,O,7x,2stop", false, "/dev/ttyS2", "/dev/ttyS2", 19200, 'O', 7, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("device info \"" + row.text + "\"");
    DeviceParameters p;  // the defaults a caller presets
    EXPECT_EQ(
        ModbusWrapperImpl::parseDeviceInfo(row.text, p.device_name, p.host, p.port, p.serial_path,
                                           p.baud, p.parity, p.data_bits, p.stop_bits, p.tcp),
        0);
    EXPECT_EQ(p.device_name, row.device_name);
    EXPECT_EQ(p.tcp, row.tcp);
    EXPECT_EQ(row.tcp ? p.host : p.serial_path, row.where);
    EXPECT_EQ(row.tcp ? p.port : p.baud, row.number);
    EXPECT_EQ(p.parity, row.parity);
    EXPECT_EQ(p.data_bits, row.data_bits);
    EXPECT_EQ(p.stop_bits, row.stop_bits);
  }
}

}  // namespace
