#include "rocker-sim/monitor/monitor_reading.h"

#include <cstdint>

#include "communication/modbus_dev/modbus_result.h"

namespace velk::rocker_sim {

int MonitorReading::signedValue(const std::string& name) const {
  return static_cast<int16_t>(static_cast<uint16_t>(value(name)));
}

int MonitorReading::value(const std::string& name) const {
  const auto found = signals.find(name);
  return found == signals.end() ? 0 : found->second.value;
}

int MonitorReading::error(const std::string& name) const {
  const auto found = signals.find(name);
  return found == signals.end() ? 0 : found->second.error;
}

bool MonitorReading::stale(const std::string& name) const {
  const auto found = signals.find(name);
  if (found == signals.end() || found->second.read_at == Clock::time_point()) return false;
  return std::chrono::duration<double>(taken_at - found->second.read_at).count() > input_timeout;
}

bool MonitorReading::inError(const Signal& signal) const {
  // A new signal waits in "illegal data address" until its first read; once
  // the device has answered, one still waiting there has been refused.
  const bool waiting = !answered && signal.read_at == Clock::time_point() &&
                       signal.error == zorv_control::kModbusIllegalAddress;
  return signal.error != zorv_control::kModbusOk && !waiting;
}

}  // namespace velk::rocker_sim
