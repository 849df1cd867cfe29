#include "bundle/scratch_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace rocker_test {

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "rocker-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("cannot create a scratch directory");
  path_ = buffer.data();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace rocker_test
