#include "host_rig/scratch_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace velk::host_rig {

ScratchFolder::ScratchFolder(const std::string& prefix, const std::string& base) {
  const std::string parent = base.empty() ? std::filesystem::temp_directory_path().string() : base;
  std::string pattern = parent + "/" + prefix + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a scratch folder under " + parent + ": " +
                             std::strerror(errno));
  }
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::write(const std::string& name, const std::string& content) const {
  const std::string path = file(name);
  writeFile(path, content);
  return path;
}

bool ScratchFolder::exists(const std::string& name) const {
  std::error_code ignored;
  return std::filesystem::exists(file(name), ignored);
}

void ScratchFolder::writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ScratchFolder::read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace velk::host_rig
