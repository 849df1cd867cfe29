#pragma once

#include <string>
#include <vector>

#include "rocker-sim/monitor/line_advice.h"
#include "rocker-sim/monitor/monitor_reading.h"

namespace velk::rocker_sim {

// What the monitor shows: a whole page for a terminal, redrawn in place, or
// one line per change for a log or a pipe.
class MonitorScreen {
 public:
  struct Outputs {
    bool power_light = false;
    bool speed_light = false;
    int indicator = 0;
  };

  static std::string page(const std::string& device_info, const MonitorReading& reading,
                          const Outputs& outputs);
  // What differs from `before` (an empty reading before the first one).
  static std::vector<std::string> changes(const MonitorReading& before, const MonitorReading& now);
  static std::string keyHelp();
  // What an error state of a signal means.
  static std::string errorMeaning(int error);
  // answering; not answering since T; not connected, with the reason.
  static std::string deviceLine(const MonitorReading& reading);
  // The signal's error state, "not read yet" while it waits for its first read.
  static std::string errorState(const MonitorReading& reading, const std::string& name);
  // errorState, marked when its value is stale.
  static std::string signalState(const MonitorReading& reading, const std::string& name);
  // A bar for a stick value of about -1000 .. 1000.
  static std::string bar(int value);
  static std::string versionText(int word, bool with_patch);
  // What the reading's line figures advise for stick_rate and input_timeout.
  static LineAdvice adviceFor(const MonitorReading& reading);
};

}  // namespace velk::rocker_sim
