#pragma once

#include <optional>
#include <string>

namespace velk::rocker_sim {

// What a run was set up with, for the reports.
struct RunInfo {
  std::string bundle;
  std::string joystick;  // "tcp", "rtu" or "none"
  std::string joystick_description;
  std::string device_info;
  std::string scenario;  // path, or empty when interactive
  std::string scenario_name;
  std::string package_file;
  std::optional<std::string> package_content;
  bool waits_met = true;
  int stop_signal = 0;  // the signal that ended the run early, 0 if none
};

}  // namespace velk::rocker_sim
