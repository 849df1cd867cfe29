// Reading the start options from arbitrary text. A text that is not TOML
// may raise the parser's syntax error, which start() hands on to the host;
// anything else escaping is a finding. For a text that parses, every key
// must be taken only with exactly its TOML type, the default otherwise, and
// the period must be usable by the task thread.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <toml.hpp>

#include "bundle_activator/start_options.h"
#include "fuzz_check.h"

namespace {

using rocker_fuzz::require;
using velk::zorv_comm::StartOptions;

template <class T>
bool sameValue(T a, T b) {
  // NaN is a legal TOML float; it compares unequal to itself.
  return a == b || (a != a && b != b);
}

void checkFloat(const toml::value& config, const char* key, double taken, double fallback) {
  const bool typed = config.contains(key) && config.at(key).is_floating();
  require(sameValue(taken, typed ? config.at(key).as_floating() : fallback),
          std::string(key) + " only from a TOML float");
}

// An integer an int cannot hold is not narrowed: the default stays.
void checkInteger(const toml::value& config, const char* key, int taken, int fallback) {
  const bool typed = config.contains(key) && config.at(key).is_integer();
  const toml::integer given = typed ? config.at(key).as_integer() : fallback;
  const bool fits = given >= INT32_MIN && given <= INT32_MAX;
  require(taken == (fits ? static_cast<int>(given) : fallback),
          std::string(key) + " only from a TOML integer an int holds");
}

void checkAgainst(const std::string& text, const StartOptions& o) {
  std::istringstream stream(text);
  const toml::value config = toml::parse(stream, "config");
  const StartOptions d;
  checkFloat(config, "cycle", o.cycle, d.cycle);
  const bool typed = config.contains("device_info") && config.at("device_info").is_string();
  require(o.device_info == (typed ? config.at("device_info").as_string().str : d.device_info),
          "device_info only from a TOML string");
  checkInteger(config, "tool_x", o.tool_x, d.tool_x);
  checkInteger(config, "tool_y", o.tool_y, d.tool_y);
  checkInteger(config, "tool_z", o.tool_z, d.tool_z);
  checkFloat(config, "ori_velc", o.ori_velc, d.ori_velc);
  checkFloat(config, "acc", o.acc, d.acc);
  checkInteger(config, "debug", o.debug, d.debug);
  checkFloat(config, "rotation", o.rotation, d.rotation);
  checkFloat(config, "pose_speed_fast", o.pose_speed_fast, d.pose_speed_fast);
  checkFloat(config, "pose_speed_slow", o.pose_speed_slow, d.pose_speed_slow);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  StartOptions options;
  try {
    options = StartOptions::parse(text);
  } catch (const toml::syntax_error&) {
    return 0;
  }
  const unsigned int period = options.periodMicroseconds();
  require(period >= 1, "a period of at least one microsecond");
  if (!options.cycleIsUsable()) require(period == 10000, "the default period for a bad cycle");
  checkAgainst(text, options);
  return 0;
}
