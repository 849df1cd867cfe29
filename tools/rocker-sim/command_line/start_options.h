#pragma once

#include <set>
#include <string>
#include <toml/value.hpp>
#include <vector>

namespace velk::rocker_sim {

// The start options text handed to the extension's start().
//
// An options file (--options) is handed over byte for byte, as a host hands
// over its configuration. What the scenario asks for (its [options] table,
// and on a restart the step's own table on top) is written as TOML lines
// before the file's text, only for keys the file does not set itself, so
// the file always has the last word. device_info is added the same way,
// pointing at the joystick, unless the file sets it.
class StartOptions {
 public:
  // Throws InputError when the file cannot be read, is not valid TOML or
  // sets a key the extension does not read.
  explicit StartOptions(const std::string& file_path);

  std::string text(const std::string& device_info, const toml::value& scenario_options,
                   const toml::value& restart_options = toml::table{}) const;
  // What the user should know about the file: keys of the wrong type, the
  // file overriding the scenario, device_info pointing elsewhere.
  std::vector<std::string> notes(const std::string& device_info,
                                 const toml::value& scenario_options) const;
  bool fileSetsDeviceInfo() const;

  // A TOML value as it would be written on the right of "key = ".
  static std::string formatValue(const toml::value& value);

 private:
  void readFile(const std::string& path);
  static std::string line(const std::string& key, const toml::value& value);

  std::string file_path_;
  std::string file_text_;
  toml::value file_table_ = toml::table{};
  std::set<std::string> file_keys_;
};

}  // namespace velk::rocker_sim
