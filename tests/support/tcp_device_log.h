#pragma once

#include <string>

#include "joystick_sim/tcp_slave.h"

namespace velk::test {

// What the device logs when it connects to, and closes, a TCP slave on
// loopback with unit 2.
inline std::string connectedText(const joystick_sim::TcpSlave& slave) {
  return "Connected to Modbus Slave " + slave.deviceName() + " slave_number: 2";
}

inline std::string closedText(const joystick_sim::TcpSlave& slave) {
  return "Modbus device {}:{} closed. 127.0.0.1 " + std::to_string(slave.port());
}

}  // namespace velk::test
