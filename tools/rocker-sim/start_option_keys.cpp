#include "rocker-sim/start_option_keys.h"

#include <map>
#include <sstream>
#include <toml.hpp>

#include "rocker-sim/input_error.h"

namespace velk::rocker_sim {

namespace {

const std::map<std::string, toml::value_t>& keyTypes() {
  static const std::map<std::string, toml::value_t> types = {
      {"cycle", toml::value_t::floating},
      {"device_info", toml::value_t::string},
      {"tool_x", toml::value_t::integer},
      {"tool_y", toml::value_t::integer},
      {"tool_z", toml::value_t::integer},
      {"ori_velc", toml::value_t::floating},
      {"acc", toml::value_t::floating},
      {"debug", toml::value_t::integer},
      {"rotation", toml::value_t::floating},
      {"pose_speed_fast", toml::value_t::floating},
      {"pose_speed_slow", toml::value_t::floating},
      {"input_timeout", toml::value_t::floating},
  };
  return types;
}

std::string article(toml::value_t type) {
  const std::string name = StartOptionKeys::typeName(type);
  return (name[0] == 'i' || name[0] == 'a' ? "an " : "a ") + name;
}

std::string wrongTypeHint(toml::value_t wanted) {
  if (wanted == toml::value_t::floating) return "write it with a decimal point, e.g. 1.0";
  if (wanted == toml::value_t::integer) return "write it as a whole number without a decimal point";
  return "write it in double quotes";
}

}  // namespace

std::string StartOptionKeys::typeName(toml::value_t type) {
  switch (type) {
    case toml::value_t::floating:
      return "float";
    case toml::value_t::integer:
      return "integer";
    case toml::value_t::boolean:
      return "boolean";
    default: {
      std::ostringstream out;
      out << type;
      return out.str();
    }
  }
}

std::optional<toml::value_t> StartOptionKeys::typeOf(const std::string& key) {
  const auto found = keyTypes().find(key);
  if (found == keyTypes().end()) return std::nullopt;
  return found->second;
}

std::string StartOptionKeys::known() {
  std::string names;
  for (const auto& [key, type] : keyTypes()) names += (names.empty() ? "" : ", ") + key;
  return names;
}

void StartOptionKeys::requireKnown(const toml::value& table) {
  for (const auto& [key, value] : table.as_table()) {
    if (typeOf(key)) continue;
    throw InputError(toml::format_error("[error] unknown start option \"" + key + "\"", value,
                                        "not an option of the extension", {"known: " + known()}));
  }
}

void StartOptionKeys::requireValid(const toml::value& table) {
  requireKnown(table);
  for (const auto& [key, value] : table.as_table()) {
    const auto wanted = typeOf(key);
    if (key == kDeviceInfo) {
      throw InputError(toml::format_error(
          "[error] a scenario cannot set device_info", value, "chosen by rocker-sim",
          {"use --joystick none --device-info TEXT for an outside joystick"}));
    }
    if (value.type() != *wanted) {
      throw InputError(
          toml::format_error("[error] start option \"" + key + "\" must be " + article(*wanted),
                             value, "this is " + article(value.type()), {wrongTypeHint(*wanted)}));
    }
  }
}

std::vector<std::string> StartOptionKeys::typeWarnings(const toml::value& table) {
  std::vector<std::string> warnings;
  for (const auto& [key, value] : table.as_table()) {
    const auto wanted = typeOf(key);
    if (!wanted || value.type() == *wanted) continue;
    warnings.push_back(toml::format_error("[warning] the extension takes \"" + key + "\" only as " +
                                              article(*wanted) + " and will use its default",
                                          value, "this is " + article(value.type()),
                                          {wrongTypeHint(*wanted)}));
  }
  return warnings;
}

}  // namespace velk::rocker_sim
