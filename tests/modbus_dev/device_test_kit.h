#pragma once

#include <memory>
#include <string>

#include "communication/modbus_dev/modbus_device.h"
#include "communication/modbus_dev/modbus_signal.h"

namespace velk::zorv_control::testkit {

// Short enough to keep time-out cases fast, long enough for a loaded box.
constexpr int kResponseTimeoutMs = 200;
constexpr double kPollPeriod = 0.01;
constexpr int kUnit = 2;

inline std::unique_ptr<ModbusSignal> makeSignal(const std::string& name, AddressType type,
                                                int address, int32_t error_state = 0) {
  auto signal = std::make_unique<ModbusSignal>();
  signal->name = name;
  signal->type = type;
  signal->address = address;
  signal->error_state = error_state;
  return signal;
}

// One pass over a connected device, in the poll thread's order.
inline void pollPass(ModbusDevice& device) {
  device.checkErrSignalsAddedToGroup(kPollPeriod);
  device.readAllSignals(kPollPeriod);
  device.checkIfRegroupNeeded();
  device.writeAllSignals(kPollPeriod);
}

inline void pollPasses(ModbusDevice& device, int count) {
  for (int i = 0; i < count; ++i) pollPass(device);
}

}  // namespace velk::zorv_control::testkit
