#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "communication/modbus_wrapper/device_info_screen.h"
#include "communication/modbus_wrapper/device_parameters.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"

namespace {

using velk::zorv_control::DeviceInfoScreen;
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
  // What the screen says is wrong (a part of it), empty when it lets it pass.
  std::string refusal = "";
};

// Each form as the parser reads it, and whether the screen lets it make a
// device or names what is wrong with it.
TEST(DeviceInfoParsing, EveryFormOfTheDeviceInfoTextAndItsScreening) {
  const std::vector<Row> rows = {
      {"/dev/ttyUSB0,115200,N,8,1", false, "/dev/ttyUSB0", "/dev/ttyUSB0", 115200, 'N', 8, 1},
      {"", false, "/dev/ttyUSB0", "/dev/ttyUSB0", 9600, 'N', 8, 1, "it is empty"},
      {",,,", false, "/dev/ttyUSB0", "/dev/ttyUSB0", 9600, 'N', 8, 1, "it is empty"},
      {"/dev/ttyS1", false, "/dev/ttyS1", "/dev/ttyS1", 9600, 'N', 8, 1},
      {"127.0.0.1,1502", true, "127.0.0.1:1502", "127.0.0.1", 1502, 'N', 8, 1},
      {"/dev/ttyS1,19200", true, "/dev/ttyS1:19200", "/dev/ttyS1", 19200, 'N', 8, 1},
      {"127.0.0.1,0502", true, "127.0.0.1:502", "127.0.0.1", 502, 'N', 8, 1},
      {"127.0.0.1,+502", true, "127.0.0.1:502", "127.0.0.1", 502, 'N', 8, 1},
      {",,127.0.0.1,,502,", true, "127.0.0.1:502", "127.0.0.1", 502, 'N', 8, 1},
      {"127.0.0.1,http", true, "127.0.0.1:0", "127.0.0.1", 0, 'N', 8, 1,
       "TCP port 0 is not in 1..65535"},
      {"127.0.0.1,70000", true, "127.0.0.1:70000", "127.0.0.1", 70000, 'N', 8, 1,
       "TCP port 70000 is not in 1..65535"},
      {"127.0.0.1,502,E", false, "127.0.0.1", "127.0.0.1", 502, 'E', 8, 1, "this has 3 fields"},
      {"/dev/ttyS1,9600,N,8", false, "/dev/ttyS1", "/dev/ttyS1", 9600, 'N', 8, 1,
       "this has 4 fields"},
      {"/dev/ttyS1,9600,Even,8,1", false, "/dev/ttyS1", "/dev/ttyS1", 9600, 'E', 8, 1},
      {"/dev/ttyS1,9600,X,8,1", false, "/dev/ttyS1", "/dev/ttyS1", 9600, 'X', 8, 1,
       "parity 'X' is not N, E or O"},
      {"/dev/ttyS1,9600,even,8,1", false, "/dev/ttyS1", "/dev/ttyS1", 9600, 'e', 8, 1,
       "parity 'e'"},
      {"/dev/ttyS1, 9600, N, 8, 1", false, "/dev/ttyS1", "/dev/ttyS1", 9600, ' ', 8, 1,
       "parity ' '"},
      {"/dev/ttyS1,fast,N,8,1", false, "/dev/ttyS1", "/dev/ttyS1", 0, 'N', 8, 1,
       "baud rate 0 is not above 0"},
      {"/dev/ttyS1,9600,N,9,1", false, "/dev/ttyS1", "/dev/ttyS1", 9600, 'N', 9, 1,
       "data bits 9 is not in 5..8"},
      {"/dev/ttyS1,9600,N,8,0", false, "/dev/ttyS1", "/dev/ttyS1", 9600, 'N', 8, 0,
       "stop bits 0 is not 1 or 2"},
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
    const auto problem = DeviceInfoScreen::problem(row.text);
    if (row.refusal.empty()) {
      EXPECT_FALSE(problem) << *problem;
    } else {
      ASSERT_TRUE(problem);
      EXPECT_NE(problem->find(row.refusal), std::string::npos) << *problem;
    }
  }
}

}  // namespace
