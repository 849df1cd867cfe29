#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "joystick_sim/modbus_slave.h"

namespace velk::joystick_sim {

// A Modbus RTU slave (libmodbus server) on one end of a serial line, usually
// PtyPair::slavePath(), 8N1 at `baud`, answering unit `unit` only (requests
// for other units are neither logged nor answered, as on a real bus).
// Tables, request log and faults: see ModbusSlave.
//
//   PtyPair line;
//   RtuSlave slave(line.slavePath());
//   ModbusDevice device(log, line.devicePath(), 115200, 'N', 8, 1, 2, 200);
//
// The constructor throws std::runtime_error if the line cannot be opened.
// The serving thread ends on destruction or when `lifetime` has passed.
class RtuSlave : public ModbusSlave {
 public:
  explicit RtuSlave(const std::string& serial_path, int unit = kDefaultUnit, int baud = 115200,
                    std::chrono::seconds lifetime = std::chrono::seconds(60));
  ~RtuSlave() override;

 private:
  void run(std::chrono::steady_clock::time_point deadline);
  void serveOnce();

  modbus_t* context_ = nullptr;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace velk::joystick_sim
