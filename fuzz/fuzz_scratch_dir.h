#pragma once

#include <string>

namespace rocker_fuzz {

// One private directory per fuzzing process, on tmpfs when the machine has
// /dev/shm (the package file is fsync'ed on every write; on a disk that
// would cost more than the update itself). Removed with its content when
// the object goes.
class FuzzScratchDir {
 public:
  FuzzScratchDir();
  ~FuzzScratchDir();
  FuzzScratchDir(const FuzzScratchDir&) = delete;
  FuzzScratchDir& operator=(const FuzzScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace rocker_fuzz
