#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host_rig/scratch_folder.h"

namespace velk::host_rig {

// The HOME the bundle sees, where it keeps its package file
// (velk_ws/extensions/rocker/package.json): a fresh scratch folder, removed
// afterwards, so that a run never touches the package file of a real
// installation; or a folder the caller names, kept. HOME is set for the
// object's life and restored after.
//
// Sets the environment variable HOME: make it before any thread starts.
class HostHome {
 public:
  // Empty `path`: a scratch folder. Throws std::runtime_error when the
  // folders cannot be made.
  explicit HostHome(const std::string& path = "");
  ~HostHome();
  HostHome(const HostHome&) = delete;
  HostHome& operator=(const HostHome&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::string packageFile() const;
  std::optional<std::string> packageContent() const;

 private:
  std::unique_ptr<ScratchFolder> scratch_;
  std::string path_;
  std::optional<std::string> saved_home_;
};

}  // namespace velk::host_rig
