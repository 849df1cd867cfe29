#pragma once

#include <string>

namespace velk::zorv_control {

// Where a device lives and how to reach it, as read from a device-info text.
// The initial values are the ones a text that omits a field falls back to.
struct DeviceParameters {
  std::string device_name;
  std::string host = "127.0.0.1";
  int port = 502;
  std::string serial_path = "/dev/ttyUSB0";
  int baud = 9600;
  char parity = 'N';
  int data_bits = 8;
  int stop_bits = 1;
  bool tcp = true;
  // Fields the text held; a device-info text without one is empty.
  int field_count = 0;
};

}  // namespace velk::zorv_control
