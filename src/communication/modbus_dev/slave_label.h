#pragma once

#include <string>

#include "communication/modbus_dev/link_settings.h"

namespace velk::zorv_control {

// How the log names a slave: its unit number and where it is, e.g.
// "1 at 127.0.0.1:1502" or "1 at /dev/ttyUSB0".
inline std::string slaveLabel(const LinkSettings& s) {
  const std::string where = s.tcp ? s.host + ":" + std::to_string(s.port) : s.serial_path;
  return std::to_string(s.slave) + " at " + where;
}

}  // namespace velk::zorv_control
