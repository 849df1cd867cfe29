#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "rocker-sim/monitor/monitor_reading.h"

namespace velk::zorv_control {
class ModbusWrapperImpl;
}

namespace velk::rocker_sim {

// Polls a joystick with the bundle's own signal registry and poll thread,
// registering the same 16 signals the bundle registers, and reports what the
// device sends. Sets the lights on request; never talks to a robot.
class JoystickMonitor {
 public:
  // Log lines of the registry (connections, warnings) go to `log`, which is
  // called from the poll thread too.
  using LogSink = std::function<void(int level, const std::string& message)>;

  JoystickMonitor(const std::string& device_info, LogSink log);
  ~JoystickMonitor();
  JoystickMonitor(const JoystickMonitor&) = delete;
  JoystickMonitor& operator=(const JoystickMonitor&) = delete;

  MonitorReading read();

  void togglePowerLight();
  void toggleSpeedLight();
  // Steps the indicator code 0, 1, 2, 3, 4, 0, ...
  void stepIndicator();
  bool powerLight() const { return power_light_; }
  bool speedLight() const { return speed_light_; }
  int indicator() const { return indicator_; }

 private:
  void countNewReads(const MonitorReading& reading);
  void noteConnection(MonitorReading& reading) const;
  void noteErrors(const MonitorReading& reading);
  // From the registry's log, on its poll thread too.
  void keepWarning(int level, const std::string& message);

  LogSink log_;
  const MonitorReading::Clock::time_point started_;
  const std::string device_name_;
  std::string last_error_;
  std::map<std::string, int> errors_seen_;
  std::shared_ptr<zorv_control::ModbusWrapperImpl> registry_;
  std::map<std::string, MonitorReading::Clock::time_point> seen_reads_;
  std::deque<MonitorReading::Clock::time_point> recent_reads_;
  mutable std::mutex warnings_mutex_;
  std::deque<std::string> warnings_;
  bool power_light_ = false;
  bool speed_light_ = false;
  int indicator_ = 0;
};

}  // namespace velk::rocker_sim
