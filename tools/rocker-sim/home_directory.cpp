#include "rocker-sim/home_directory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velk::rocker_sim {

namespace {

constexpr const char* kPackageFolder = "/velk_ws/extensions/rocker";
constexpr const char* kPackageFile = "/package.json";

}  // namespace

HomeDirectory::HomeDirectory(const std::string& path) : path_(path) {
  if (path_.empty()) {
    std::string pattern = "/tmp/rocker-sim-home-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error(std::string("cannot make a home directory: ") +
                               std::strerror(errno));
    }
    path_ = pattern;
    temporary_ = true;
  }
  std::error_code error;
  std::filesystem::create_directories(path_ + kPackageFolder, error);
  if (error)
    throw std::runtime_error("cannot make " + path_ + kPackageFolder + ": " + error.message());
  ::setenv("HOME", path_.c_str(), 1);
}

HomeDirectory::~HomeDirectory() {
  if (!temporary_) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string HomeDirectory::packageFile() const { return path_ + kPackageFolder + kPackageFile; }

std::optional<std::string> HomeDirectory::packageContent() const {
  std::ifstream in(packageFile(), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace velk::rocker_sim
