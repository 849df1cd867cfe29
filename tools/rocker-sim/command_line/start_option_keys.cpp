#include "rocker-sim/command_line/start_option_keys.h"

#include <sstream>
#include <toml.hpp>

#include "bundle_activator/start_options.h"
#include "rocker-sim/command_line/input_error.h"

namespace velk::rocker_sim {

namespace {

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
  const zorv_comm::StartOptions::Key* found = zorv_comm::StartOptions::find(key);
  if (!found) return std::nullopt;
  return found->type;
}

std::string StartOptionKeys::known() {
  std::string names;
  for (const auto& key : zorv_comm::StartOptions::keys()) {
    names += (names.empty() ? "" : ", ") + std::string(key.name);
  }
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
