#pragma once

#include <string>

#include "host_rig/scratch_folder.h"

namespace velk::test {

// The host rig's scratch folder, with write() taking a whole path as these
// tests use it.
class ScratchFolder : public host_rig::ScratchFolder {
 public:
  ScratchFolder() : host_rig::ScratchFolder("rocker-service-test") {}

  static void write(const std::string& path, const std::string& text) { writeFile(path, text); }
};

}  // namespace velk::test
