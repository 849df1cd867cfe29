#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "rocker-sim/run_record.h"

namespace velk::rocker_sim {

class Console;
class SimClock;

// The log callback handed to the extension: prints each message on
// standard error (down to a chosen level) and keeps all of them, stamped on
// the run clock, for the reports. Called from the bundle's threads at once.
//
// callback() captures `this`: the recorder must outlive the extension.
class LogRecorder {
 public:
  using Callback = std::function<void(int, const char*, int, const std::string&)>;
  // Enough for a long interactive session; beyond it the oldest entries go.
  static constexpr std::size_t kCapacity = 200000;

  LogRecorder(const SimClock& clock, Console& console, int print_level);

  Callback callback();
  std::vector<LogEntry> entries() const;
  std::size_t dropped() const;
  static std::string format(const LogEntry& entry);

 private:
  void add(int level, const char* file, int line, const std::string& message);

  const SimClock& clock_;
  Console& console_;
  const int print_level_;
  mutable std::mutex mutex_;
  std::deque<LogEntry> entries_;
  std::size_t dropped_ = 0;
};

}  // namespace velk::rocker_sim
