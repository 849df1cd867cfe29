#pragma once

#include <string>

namespace velk::zorv_control {

// Where one slave is and how to reach it: a TCP host and port, or a serial
// line with its framing, and for both the unit number and the response
// time-out. The fields of the other transport stay at their defaults.
struct LinkSettings {
  static LinkSettings overTcp(const std::string& host, int port, int slave,
                              int response_timeout_ms) {
    LinkSettings settings;
    settings.tcp = true;
    settings.host = host;
    settings.port = port;
    settings.slave = slave;
    settings.response_timeout_ms = response_timeout_ms;
    return settings;
  }

  static LinkSettings overSerialLine(const std::string& serial_path, int baud, char parity,
                                     int data_bits, int stop_bits, int slave,
                                     int response_timeout_ms) {
    LinkSettings settings;
    settings.serial_path = serial_path;
    settings.baud = baud;
    settings.parity = parity;
    settings.data_bits = data_bits;
    settings.stop_bits = stop_bits;
    settings.slave = slave;
    settings.response_timeout_ms = response_timeout_ms;
    return settings;
  }

  bool tcp = false;
  std::string host;
  int port = 0;
  std::string serial_path;
  int baud = 0;
  char parity = 'N';
  int data_bits = 0;
  int stop_bits = 0;
  int slave = 0;
  int response_timeout_ms = 0;
};

}  // namespace velk::zorv_control
