#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace velk::rocker_sim {

// One look at the joystick through the registry: every signal's last value,
// error state and when it was last read, the device's connection, plus what
// the monitor made of them.
struct MonitorReading {
  using Clock = std::chrono::steady_clock;

  struct Signal {
    int value = 0;
    int error = 0;
    Clock::time_point read_at;  // the epoch while never read
  };

  double t = 0;                           // seconds since the monitor started
  Clock::time_point taken_at;             // when this look was taken
  std::map<std::string, Signal> signals;  // by signal name
  bool answered = false;                  // some value has been read from the device
  double last_answer_t = -1;              // t of the newest read; -1 while never read
  bool connected = false;                 // the registry holds a connection to the device
  std::string connection_problem;         // why the last attempt failed; empty if none did
  // A value older than this no longer tells what the stick does: the
  // bundle's input_timeout, seconds.
  double input_timeout = 0;
  double reads_per_second = 0;  // group reads over the last two seconds
  std::string last_error;       // the last error seen on any signal, if any
  // The device's own figures of its line: the smoothed time of a request
  // and how often its fastest group is read; 0 until measured.
  double transaction_seconds = 0;
  double fastest_rate = 0;
  // The registry's latest warnings and errors (a strict register map, a
  // silent slave, a slow line), oldest first, each with its time.
  std::vector<std::string> warnings;

  // The signal's value read as the joystick sends it (axes are signed).
  int signedValue(const std::string& name) const;
  int value(const std::string& name) const;
  int error(const std::string& name) const;
  // Read at least once, but longer than input_timeout ago.
  bool stale(const std::string& name) const;
  // In error for a reason of the device's: not merely waiting for its first
  // read, as every signal does until the device answers.
  bool inError(const Signal& signal) const;
};

}  // namespace velk::rocker_sim
