#include "fuzz_scratch_dir.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace rocker_fuzz {

namespace {

std::string scratchBase() {
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0) {
    return "/dev/shm";
  }
  return std::filesystem::temp_directory_path().string();
}

}  // namespace

FuzzScratchDir::FuzzScratchDir() {
  std::string pattern = scratchBase() + "/rocker-fuzz-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) {
    throw std::runtime_error("cannot create a scratch directory under " + scratchBase());
  }
  path_ = buffer.data();
}

FuzzScratchDir::~FuzzScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace rocker_fuzz
