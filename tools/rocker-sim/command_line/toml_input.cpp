#include "rocker-sim/command_line/toml_input.h"

#include <fstream>
#include <sstream>

#include "bundle_activator/toml_text_screen.h"
#include "rocker-sim/command_line/input_error.h"

namespace velk::rocker_sim {

std::string TomlInput::readFile(const std::string& path, const std::string& kind) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError("cannot read " + kind + " file " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

toml::value TomlInput::parse(const std::string& text, const std::string& name) {
  try {
    zorv_comm::TomlTextScreen::check(text, name);
    std::istringstream in(text);
    return toml::parse(in, name);
  } catch (const std::exception& e) {
    throw InputError(e.what());
  }
}

}  // namespace velk::rocker_sim
