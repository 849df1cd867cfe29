#include "bundle_activator/package_file_path.h"

#include <cstdlib>

namespace velk::zorv_comm {

std::string packageFilePath() {
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "/root") + "/velk_ws/extensions/rocker/package.json";
}

}  // namespace velk::zorv_comm
