#pragma once

#include <chrono>
#include <map>
#include <string>

namespace velk::rocker_sim {

// One look at the joystick through the registry: every signal's last value,
// error state and when it was last read, plus what the monitor made of them.
struct MonitorReading {
  using Clock = std::chrono::steady_clock;

  struct Signal {
    int value = 0;
    int error = 0;
    Clock::time_point read_at;  // the epoch while never read
  };

  double t = 0;                           // seconds since the monitor started
  std::map<std::string, Signal> signals;  // by signal name
  bool answered = false;                  // some value has been read from the device
  double reads_per_second = 0;            // group reads over the last two seconds
  std::string last_error;                 // the registry's last warning or error, if any

  // The signal's value read as the joystick sends it (axes are signed).
  int signedValue(const std::string& name) const;
  int value(const std::string& name) const;
  int error(const std::string& name) const;
};

}  // namespace velk::rocker_sim
