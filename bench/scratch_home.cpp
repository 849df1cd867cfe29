#include "bench/scratch_home.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace velk::bench {

ScratchHome::ScratchHome() {
  const std::string pattern =
      (std::filesystem::temp_directory_path() / "rocker-bench-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot make a scratch HOME");
  path_ = name.data();
  std::filesystem::create_directories(path_ + "/velk_ws/extensions/rocker");
  if (const char* home = std::getenv("HOME")) {
    saved_home_ = home;
    had_home_ = true;
  }
  setenv("HOME", path_.c_str(), 1);
}

ScratchHome::~ScratchHome() {
  if (had_home_) {
    setenv("HOME", saved_home_.c_str(), 1);
  } else {
    unsetenv("HOME");
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace velk::bench
