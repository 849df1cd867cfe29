#include "host_rig/host_home.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace velk::host_rig {

namespace {

constexpr const char* kPackageFolder = "/velk_ws/extensions/rocker";
constexpr const char* kPackageFile = "/package.json";

}  // namespace

HostHome::HostHome(const std::string& path) : path_(path) {
  if (path_.empty()) {
    scratch_ = std::make_unique<ScratchFolder>("rocker-home");
    path_ = scratch_->path();
  }
  std::error_code error;
  std::filesystem::create_directories(path_ + kPackageFolder, error);
  if (error) {
    throw std::runtime_error("cannot make " + path_ + kPackageFolder + ": " + error.message());
  }
  if (const char* home = std::getenv("HOME")) saved_home_ = home;
  ::setenv("HOME", path_.c_str(), 1);
}

HostHome::~HostHome() {
  if (saved_home_) {
    ::setenv("HOME", saved_home_->c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
}

std::string HostHome::packageFile() const { return path_ + kPackageFolder + kPackageFile; }

std::optional<std::string> HostHome::packageContent() const {
  if (!std::ifstream(packageFile())) return std::nullopt;
  return ScratchFolder::read(packageFile());
}

}  // namespace velk::host_rig
