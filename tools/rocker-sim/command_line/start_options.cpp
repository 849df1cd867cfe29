#include "rocker-sim/command_line/start_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <toml.hpp>

#include "rocker-sim/command_line/start_option_keys.h"
#include "rocker-sim/command_line/toml_input.h"

namespace velk::rocker_sim {

namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// The shortest text that reads back as the same double, always with a
// decimal point or exponent so that TOML keeps it a float.
std::string shortestFloat(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  std::string text;
  for (int precision = 1; precision <= 17; ++precision) {
    std::ostringstream out;
    out.precision(precision);
    out << value;
    text = out.str();
    if (std::strtod(text.c_str(), nullptr) == value) break;
  }
  if (text.find_first_of(".en") == std::string::npos) text += ".0";
  return text;
}

// Top-level keys in a stable order, so that runs of one scenario hand the
// extension the same text.
std::map<std::string, toml::value> sorted(const toml::value& table) {
  return {table.as_table().begin(), table.as_table().end()};
}

}  // namespace

StartOptions::StartOptions(const std::string& file_path) : file_path_(file_path) {
  if (!file_path.empty()) readFile(file_path);
}

void StartOptions::readFile(const std::string& path) {
  file_text_ = TomlInput::readFile(path, "options");
  file_table_ = TomlInput::parse(file_text_, path);
  // A misspelt key would leave its option at the default without a word.
  StartOptionKeys::requireKnown(file_table_);
  for (const auto& entry : file_table_.as_table()) file_keys_.insert(entry.first);
}

std::string StartOptions::text(const std::string& device_info, const toml::value& scenario_options,
                               const toml::value& restart_options) const {
  auto merged = sorted(scenario_options);
  for (const auto& [key, value] : sorted(restart_options)) merged[key] = value;
  std::string out;
  for (const auto& [key, value] : merged) {
    if (file_keys_.count(key) == 0) out += line(key, value);
  }
  if (!fileSetsDeviceInfo()) out += line(StartOptionKeys::kDeviceInfo, toml::value(device_info));
  if (!file_text_.empty()) out += file_text_;
  return out;
}

std::string StartOptions::line(const std::string& key, const toml::value& value) {
  return toml::format_key(key) + " = " + formatValue(value) + "\n";
}

std::vector<std::string> StartOptions::notes(const std::string& device_info,
                                             const toml::value& scenario_options) const {
  std::vector<std::string> notes = StartOptionKeys::typeWarnings(file_table_);
  for (const auto& [key, value] : sorted(scenario_options)) {
    if (file_keys_.count(key) != 0) {
      notes.push_back("the options file sets \"" + key + "\"; the scenario's value " +
                      formatValue(value) + " is not used");
    }
  }
  if (fileSetsDeviceInfo() && !device_info.empty()) {
    notes.push_back("the options file sets device_info; the extension will not talk to " +
                    device_info);
  }
  return notes;
}

bool StartOptions::fileSetsDeviceInfo() const {
  return file_keys_.count(StartOptionKeys::kDeviceInfo) != 0;
}

std::string StartOptions::formatValue(const toml::value& value) {
  if (value.is_string()) return quoted(value.as_string().str);
  if (value.is_floating()) return shortestFloat(value.as_floating());
  return toml::format(value);
}

}  // namespace velk::rocker_sim
