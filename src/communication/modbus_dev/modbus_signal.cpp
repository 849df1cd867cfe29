#include "communication/modbus_dev/modbus_signal.h"

namespace velk::zorv_control {

void ModbusSignal::setOutput(uint16_t output) {
  output_.store(kPendingBit | output, std::memory_order_release);
}

uint16_t ModbusSignal::outputValue() const {
  return static_cast<uint16_t>(output_.load(std::memory_order_acquire) & 0xFFFFu);
}

bool ModbusSignal::outputPending() const {
  return (output_.load(std::memory_order_acquire) & kPendingBit) != 0;
}

bool ModbusSignal::confirmOutput(uint16_t read_value) {
  uint32_t expected = kPendingBit | read_value;
  return output_.compare_exchange_strong(expected, read_value, std::memory_order_acq_rel);
}

void ModbusSignal::stampRead(std::chrono::steady_clock::time_point when) {
  last_read_.store(when.time_since_epoch().count(), std::memory_order_release);
}

std::chrono::steady_clock::time_point ModbusSignal::lastRead() const {
  return std::chrono::steady_clock::time_point(
      std::chrono::steady_clock::duration(last_read_.load(std::memory_order_acquire)));
}

}  // namespace velk::zorv_control
