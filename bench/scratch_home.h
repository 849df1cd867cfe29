#pragma once

#include <string>

namespace velk::bench {

// A fresh HOME for the run, so that the package file the bundle writes when
// jogging is switched on lands in a temporary directory and not in the real
// home. Restores HOME and removes the directory on destruction.
class ScratchHome {
 public:
  ScratchHome();
  ~ScratchHome();
  ScratchHome(const ScratchHome&) = delete;
  ScratchHome& operator=(const ScratchHome&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string saved_home_;
  bool had_home_ = false;
};

}  // namespace velk::bench
