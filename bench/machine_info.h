#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace velk::bench {

// What the figures were measured on: processor, cores, memory, kernel,
// compiler, and how busy the machine was.
class MachineInfo {
 public:
  static nlohmann::json collect();
  // The three load averages of /proc/loadavg, as text.
  static std::string loadAverage();
  // Now, in UTC, as YYYY-MM-DD HH:MM:SS.
  static std::string utcNow();
};

}  // namespace velk::bench
