#include "bundle_activator/start_options.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <sstream>
#include <toml.hpp>
#include <type_traits>
#include <utility>
#include <variant>

#include "bundle_activator/toml_text_screen.h"

namespace velk::zorv_comm {
namespace {

// toml11's typed look-up gives the fallback for a missing key and for a
// value of another TOML type (1 is no float, 1.0 no integer, true neither).
template <class T>
T lookUp(const toml::value& config, const char* key, T fallback) {
  return toml::find_or<T>(config, key, std::move(fallback));
}

double microseconds(double seconds) { return seconds * 1000000.0; }

constexpr double kMaxCycle = 0.1;
// Pose speeds above max_speed are only scaled down to it, so a stick gain up
// to four times the reduced speed is sane; the same value given in mm/s (100
// for 0.1 m/s) is not. Likewise for the angular speed: four times its
// ceiling, and a value in degrees or mrad per second is refused.
constexpr double kMaxPoseSpeed = 4 * RockerSettings::kReducedSpeed;
constexpr double kMaxOriVelc = 4 * RockerSettings::kReducedAngularSpeed;
// A silent joystick must stop a jog within a second.
constexpr double kMaxInputTimeout = 1.0;
// Below the 32767 a railed axis reads.
constexpr double kMaxStickLimit = 32000;
const std::vector<double> kStickAxes = {-3, -2, -1, 1, 2, 3};
// The stick axis of each jog component: one mapping, screened whole.
constexpr const char* kAxisMappingKeys[] = {"tool_x", "tool_y", "tool_z"};
constexpr std::size_t kUnknownKeysNamed = 10;
constexpr double kTwoPi = 2 * 3.14159265358979323846;

}  // namespace

const std::vector<StartOptions::Key>& StartOptions::keys() {
  using toml::value_t;
  using O = StartOptions;
  static const std::vector<double> jogAxisCounts = {3, 6};
  static const std::vector<Key> all = {
      // The stop reacts a cycle late: a longer one lets the robot run on.
      {"cycle", value_t::floating, &O::cycle, "s", "period of the rocker cycle", 1e-6, kMaxCycle},
      {"device_info", value_t::string, &O::device_info, "", "the joystick's Modbus connection"},
      {"tool_x", value_t::integer, &O::tool_x, "", "stick axis of the first jog component", -3, 3,
       false, kStickAxes},
      {"tool_y", value_t::integer, &O::tool_y, "", "stick axis of the second jog component", -3, 3,
       false, kStickAxes},
      {"tool_z", value_t::integer, &O::tool_z, "", "stick axis of the third jog component", -3, 3,
       false, kStickAxes},
      {"ori_velc", value_t::floating, &O::ori_velc, "rad/s",
       "angular speed at full deflection, fast mode, six axes", 0, kMaxOriVelc, true},
      {"acc", value_t::floating, &O::acc, "m/s²", "acceleration of the speed command", 0, HUGE_VAL,
       true},
      {"debug", value_t::integer, &O::debug, "", "non-zero logs the stick values as they change",
       INT_MIN, INT_MAX},
      // Radians: 90 is almost certainly meant as degrees.
      {"rotation", value_t::floating, &O::rotation, "rad",
       "rotation of the joystick about the tool's z axis", -kTwoPi, kTwoPi},
      {"pose_speed_fast", value_t::floating, &O::pose_speed_fast, "m/s",
       "jog speed at full deflection, fast mode", 0, kMaxPoseSpeed, true},
      {"pose_speed_slow", value_t::floating, &O::pose_speed_slow, "m/s",
       "jog speed at full deflection, slow mode", 0, kMaxPoseSpeed, true},
      {"input_timeout", value_t::floating, &O::input_timeout, "s",
       "how old the stick values may be to jog on; 0: no check", 0, kMaxInputTimeout},
      {"max_speed", value_t::floating, &O::max_speed, "m/s",
       "the largest Cartesian speed a jog commands", 0, RockerSettings::kReducedSpeed, true},
      {"stick_limit", value_t::integer, &O::stick_limit, "stick units",
       "a stick value of larger magnitude is implausible", 1, kMaxStickLimit},
      {"jog_axes", value_t::integer, &O::jog_axes, "",
       "3: the stick translates the tool; 6: turns it too", 3, 6, false, jogAxisCounts},
      {"max_angular_speed", value_t::floating, &O::max_angular_speed, "rad/s",
       "the largest angular speed a six-axis jog commands", 0, RockerSettings::kReducedAngularSpeed,
       true},
      {"stick_rate", value_t::integer, &O::stick_rate, "Hz",
       "how often the six stick axes are read", 10, 50},
      {"jog_follow", value_t::boolean, &O::jog_follow, "",
       "true: a running jog's speed follows the stick"},
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
    std::visit([&](auto member) { o.read(config, key, member); }, key.member);
  }
  for (const auto& [name, value] : config.as_table()) {
    if (!find(name)) o.unknown_keys.push_back(name);
  }
  return o;
}

template <class T>
void StartOptions::read(const toml::value& config, const Key& key, T StartOptions::*member) {
  this->*member = lookUp(config, key.name, this->*member);
}

// Read whole: narrowing first would turn 4294967302 into 6.
void StartOptions::read(const toml::value& config, const Key& key, int StartOptions::*member) {
  const auto given = lookUp<std::int64_t>(config, key.name, this->*member);
  if (given < INT_MIN || given > INT_MAX) {
    integers_beyond_int.emplace_back(&key, given);
    return;
  }
  this->*member = static_cast<int>(given);
}

bool StartOptions::Key::allows(double value) const {
  if (!choices.empty()) return std::find(choices.begin(), choices.end(), value) != choices.end();
  return std::isfinite(value) && (low_excluded ? value > low : value >= low) && value <= high;
}

std::vector<std::string> StartOptions::screen() {
  std::vector<std::string> warnings;
  // Named one by one up to a point: a text of thousands of stray keys must
  // not flood the host's log.
  for (std::size_t i = 0; i < unknown_keys.size() && i < kUnknownKeysNamed; ++i) {
    warnings.push_back("Rocker unknown start option: " + unknown_keys[i] + " (ignored)");
  }
  if (unknown_keys.size() > kUnknownKeysNamed) {
    warnings.push_back("Rocker unknown start options: " +
                       std::to_string(unknown_keys.size() - kUnknownKeysNamed) + " more (ignored)");
  }
  unknown_keys.clear();
  screenAxisMapping(warnings);
  const StartOptions defaults;
  for (const Key& key : keys()) {
    if (isAxisMappingKey(key)) continue;
    std::visit(
        [&](auto member) {
          using Value = std::decay_t<decltype(this->*member)>;
          // A boolean has no range: TOML gives it as true or false, or not at all.
          if constexpr (std::is_arithmetic_v<Value> && !std::is_same_v<Value, bool>) {
            if (!beyondInt(key) && key.allows(static_cast<double>(this->*member))) return;
            std::ostringstream text;
            text << "Rocker " << key.name << " out of range, using the default " << defaults.*member
                 << " instead of: ";
            writeGiven(text, key, this->*member);
            warnings.push_back(text.str());
            this->*member = defaults.*member;
          }
        },
        key.member);
  }
  integers_beyond_int.clear();
  return warnings;
}

bool StartOptions::isAxisMappingKey(const Key& key) {
  for (const char* name : kAxisMappingKeys) {
    if (std::strcmp(key.name, name) == 0) return true;
  }
  return false;
}

std::optional<std::int64_t> StartOptions::beyondInt(const Key& key) const {
  for (const auto& [beyond, value] : integers_beyond_int) {
    if (beyond == &key) return value;
  }
  return std::nullopt;
}

template <class T>
void StartOptions::writeGiven(std::ostream& text, const Key& key, T member_value) const {
  if (const auto wide = beyondInt(key)) {
    text << *wide;
  } else {
    text << member_value;
  }
}

bool StartOptions::axisMappingIsUsable() const {
  const Key& first = *find("tool_x");
  const int axes[] = {tool_x, tool_y, tool_z};
  bool seen[4] = {};
  for (int axis : axes) {
    if (!first.allows(axis) || seen[std::abs(axis)]) return false;
    seen[std::abs(axis)] = true;
  }
  for (const char* name : kAxisMappingKeys) {
    if (beyondInt(*find(name))) return false;
  }
  return true;
}

// One warning for the three keys: a push must move along one base axis, and
// which of them was wrong is seen only together.
void StartOptions::screenAxisMapping(std::vector<std::string>& warnings) {
  if (axisMappingIsUsable()) return;
  std::ostringstream text;
  const StartOptions defaults;
  text << "Rocker tool_x, tool_y, tool_z out of range, using the default " << defaults.tool_x
       << ", " << defaults.tool_y << ", " << defaults.tool_z << " instead of: ";
  const char* separator = "";
  for (const char* name : kAxisMappingKeys) {
    const Key& key = *find(name);
    text << separator;
    writeGiven(text, key, this->*std::get<int StartOptions::*>(key.member));
    separator = ", ";
  }
  text << " (each one of ±1, ±2, ±3, and every stick axis once)";
  warnings.push_back(text.str());
  tool_x = defaults.tool_x;
  tool_y = defaults.tool_y;
  tool_z = defaults.tool_z;
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
