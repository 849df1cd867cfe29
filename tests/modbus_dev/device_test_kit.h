#pragma once

#include <memory>
#include <string>

#include "communication/modbus_dev/modbus_device.h"
#include "communication/modbus_dev/modbus_signal.h"
#include "modbus_dev/scripted_link.h"
#include "support/log_capture.h"

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

// A connected device on a scripted link; `link` is the test's hold on the
// link the device owns.
struct ScriptedDevice {
  std::unique_ptr<ModbusSignal> attach(const std::string& name, AddressType type, int address,
                                       int32_t error_state = 0) {
    auto signal = makeSignal(name, type, address, error_state);
    device.addSignal(signal.get());
    return signal;
  }

  velk::test::LogCapture log;
  ScriptedLink& link = *new ScriptedLink;
  ModbusDevice device{log.callback(), std::unique_ptr<ModbusLink>(&link)};
};

}  // namespace velk::zorv_control::testkit
