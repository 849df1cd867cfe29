#pragma once

#include <string>

namespace velk::bench {

// How the joystick is reached: a Modbus TCP slave on loopback, or a Modbus
// RTU slave on a pseudo-terminal pair at 115200 baud.
enum class Transport { kTcp, kRtu };

// "tcp" or "rtu".
std::string transportName(Transport transport);
// Throws std::invalid_argument for anything but "tcp" and "rtu".
Transport parseTransport(const std::string& text);

}  // namespace velk::bench
