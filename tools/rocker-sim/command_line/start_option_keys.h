#pragma once

#include <optional>
#include <string>
#include <toml/value.hpp>
#include <vector>

namespace velk::rocker_sim {

// The start option keys the extension reads and the one TOML type it takes
// for each. The extension falls back to its default without a word when a
// value has another type (cycle = 1 is not a float), which is easy to miss
// from outside; the simulator says so instead.
class StartOptionKeys {
 public:
  static constexpr const char* kDeviceInfo = "device_info";

  // Nothing for a key the extension does not read.
  static std::optional<toml::value_t> typeOf(const std::string& key);
  // "cycle, device_info, ..." for messages.
  static std::string known();
  // For start options a scenario sets: throws InputError, with file, line and
  // what is wrong, for an unknown key, a value of another type, or
  // device_info (which follows from --joystick and --device-info).
  static void requireValid(const toml::value& table);
  // For any table of start options: throws InputError, with file, line and
  // the known keys, for a key the extension does not read.
  static void requireKnown(const toml::value& table);
  // For an options file, handed over as it is: one warning per known key
  // whose value the extension will not take.
  static std::vector<std::string> typeWarnings(const toml::value& table);
  // "float", "integer", "string", ... as a TOML writer says it.
  static std::string typeName(toml::value_t type);
};

}  // namespace velk::rocker_sim
