#pragma once

#include <algorithm>
#include <chrono>
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
inline void pollPass(ModbusDevice& device, double elapsed = kPollPeriod) {
  device.checkErrSignalsAddedToGroup(elapsed);
  device.readAllSignals(elapsed);
  device.checkIfRegroupNeeded();
  device.writeAllSignals(elapsed);
}

inline void pollPasses(ModbusDevice& device, int count) {
  for (int i = 0; i < count; ++i) pollPass(device);
}

// A connected device on a scripted link; `link` is the test's hold on the
// link the device owns. Both run on `clock`, which moves only when a test
// moves it (timedPasses) or a request has a latency.
struct ScriptedDevice {
  ScriptedDevice() { link.useClock(&clock, {}); }

  std::unique_ptr<ModbusSignal> attach(const std::string& name, AddressType type, int address,
                                       int32_t error_state = 0) {
    auto signal = makeSignal(name, type, address, error_state);
    device.addSignal(signal.get());
    return signal;
  }

  // Passes as the poll thread runs them, for `span` of the clock: each is
  // handed the time since the previous one began, then the clock waits
  // until the device is next due (at least half a millisecond, as the poll
  // thread's sleep). Returns the number of passes.
  int timedPasses(std::chrono::milliseconds span) {
    const auto end = clock.now() + span;
    int passes = 0;
    while (clock.now() < end) {
      const auto begun = clock.now();
      const double elapsed = std::chrono::duration<double>(begun - previous_pass).count();
      previous_pass = begun;
      pollPass(device, elapsed);
      ++passes;
      const auto due = begun + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                   std::chrono::duration<double>(device.secondsUntilDue()));
      clock.advance(std::max(due, clock.now() + std::chrono::microseconds(500)) - clock.now());
    }
    return passes;
  }

  velk::test::LogCapture log;
  SteppedClock clock;
  std::chrono::steady_clock::time_point previous_pass = clock.now();
  ScriptedLink& link = *new ScriptedLink;
  ModbusDevice device{log.callback(), std::unique_ptr<ModbusLink>(&link),
                      [this] { return clock.now(); }};
};

}  // namespace velk::zorv_control::testkit
