#pragma once

#include <string>

#include "rocker-sim/scenario/scenario.h"

namespace velk::rocker_sim {

// Reads a scenario file (TOML):
//
//   [scenario]                 # optional
//   name = "tour"
//   description = "..."
//   duration = 20.0            # script time at which the run ends
//   [options]                  # start options for the extension
//   rotation = 0.0
//   [[step]]
//   at = 1.0                   # seconds on the script clock
//   stick = { x = 500 }        # ... and the other step keys
//
// Everything is checked before the run starts: a wrong key, type or value,
// or steps out of time order, throw InputError with the file, the line and
// what is wrong.
class ScenarioParser {
 public:
  static Scenario parseFile(const std::string& path);
  // The same for a scenario held in memory; `name` stands for the file in
  // messages.
  static Scenario parseText(const std::string& text, const std::string& name);

 private:
  static Scenario read(const toml::value& root, const std::string& path);
};

}  // namespace velk::rocker_sim
