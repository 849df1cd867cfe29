#include "bundle_activator/start_options.h"

#include <cmath>
#include <limits>
#include <sstream>
#include <toml.hpp>
#include <utility>
#include <variant>

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

const std::vector<StartOptions::Key>& StartOptions::keys() {
  using toml::value_t;
  static const std::vector<Key> all = {
      {"cycle", value_t::floating, &StartOptions::cycle},
      {"device_info", value_t::string, &StartOptions::device_info},
      {"tool_x", value_t::integer, &StartOptions::tool_x},
      {"tool_y", value_t::integer, &StartOptions::tool_y},
      {"tool_z", value_t::integer, &StartOptions::tool_z},
      {"ori_velc", value_t::floating, &StartOptions::ori_velc},
      {"acc", value_t::floating, &StartOptions::acc},
      {"debug", value_t::integer, &StartOptions::debug},
      {"rotation", value_t::floating, &StartOptions::rotation},
      {"pose_speed_fast", value_t::floating, &StartOptions::pose_speed_fast},
      {"pose_speed_slow", value_t::floating, &StartOptions::pose_speed_slow},
      {"input_timeout", value_t::floating, &StartOptions::input_timeout},
  };
  return all;
}

const StartOptions::Key* StartOptions::find(const std::string& name) {
  for (const Key& key : keys()) {
    if (name == key.name) return &key;
  }
  return nullptr;
}

StartOptions StartOptions::parse(const std::string& text) {
  TomlTextScreen::check(text, "config");
  std::istringstream stream(text);
  const toml::value config = toml::parse(stream, "config");
  StartOptions o;
  for (const Key& key : keys()) {
    std::visit([&](auto member) { o.*member = lookUp(config, key.name, o.*member); }, key.member);
  }
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
