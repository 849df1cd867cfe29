#include "bundle_activator/start_options.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <toml.hpp>
#include <utility>

#include "bundle_activator/toml_text_screen.h"

namespace velk::zorv_comm {
namespace {

// toml11's typed look-up gives the fallback for a missing key and for a
// value of another TOML type (1 is no float, 1.0 no integer, true neither);
// an integer read as int keeps its low 32 bits.
template <class T>
T lookUp(const toml::value& config, const char* key, T fallback) {
  return toml::find_or<T>(config, key, std::move(fallback));
}

double microseconds(double seconds) { return seconds * 1000000.0; }

}  // namespace

StartOptions StartOptions::parse(const std::string& text) {
  TomlTextScreen::check(text, "config");
  std::istringstream stream(text);
  const toml::value config = toml::parse(stream, "config");
  StartOptions o;
  o.cycle = lookUp(config, "cycle", o.cycle);
  o.device_info = lookUp(config, "device_info", o.device_info);
  o.tool_x = lookUp(config, "tool_x", o.tool_x);
  o.tool_y = lookUp(config, "tool_y", o.tool_y);
  o.tool_z = lookUp(config, "tool_z", o.tool_z);
  o.ori_velc = lookUp(config, "ori_velc", o.ori_velc);
  o.acc = lookUp(config, "acc", o.acc);
  o.debug = lookUp(config, "debug", o.debug);
  o.rotation = lookUp(config, "rotation", o.rotation);
  o.pose_speed_fast = lookUp(config, "pose_speed_fast", o.pose_speed_fast);
  o.pose_speed_slow = lookUp(config, "pose_speed_slow", o.pose_speed_slow);
  o.input_timeout = lookUp(config, "input_timeout", o.input_timeout);
  return o;
}

bool StartOptions::cycleIsUsable() const {
  const double us = microseconds(cycle);
  return std::isfinite(us) && us >= 1.0 &&
         us < static_cast<double>(std::numeric_limits<unsigned int>::max()) + 1.0;
}

bool StartOptions::inputTimeoutIsUsable() const {
  return std::isfinite(input_timeout) && input_timeout >= 0.0;
}

unsigned int StartOptions::periodMicroseconds() const {
  const double us = microseconds(cycleIsUsable() ? cycle : kDefaultCycle);
  return static_cast<unsigned int>(us);  // truncates toward zero
}

}  // namespace velk::zorv_comm
