#pragma once

#include <string>
#include <toml.hpp>

namespace velk::rocker_sim {

// The scenario and options files: read whole, screened as the bundle screens
// its start options, then parsed. Any failure is an InputError.
class TomlInput {
 public:
  // `kind` names the file in the error: "scenario", "options".
  static std::string readFile(const std::string& path, const std::string& kind);
  // `name` stands for the file in messages.
  static toml::value parse(const std::string& text, const std::string& name);
};

}  // namespace velk::rocker_sim
