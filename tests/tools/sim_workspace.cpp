#include "tools/sim_workspace.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace rocker_sim_test {

SimWorkspace::SimWorkspace() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "rocker-sim-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

SimWorkspace::~SimWorkspace() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string SimWorkspace::write(const std::string& name, const std::string& content) const {
  const std::string path = file(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

bool SimWorkspace::exists(const std::string& name) const {
  return std::filesystem::exists(file(name));
}

}  // namespace rocker_sim_test
