#include "rocker-sim/monitor/monitor_reading.h"

#include <cstdint>

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

}  // namespace velk::rocker_sim
