#pragma once

#include <string>

#include "rocker-sim/command_line/sim_settings.h"

namespace velk::rocker_sim {

// The rocker-sim command line. Every argument is checked before anything
// runs: an unknown or malformed option, a choice that does not fit with
// another, a bundle that is not there, or a report that cannot be written
// throws InputError saying which and why.
class CommandLine {
 public:
  CommandLine(std::string default_bundle, std::string default_scenario);

  SimSettings parse(int argc, char** argv) const;

 private:
  void check(const SimSettings& settings) const;
  static void checkMonitor(const SimSettings& settings);
  static JoystickChoice joystickNamed(const std::string& name);

  std::string default_bundle_;
  std::string default_scenario_;
};

}  // namespace velk::rocker_sim
