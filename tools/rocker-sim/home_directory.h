#pragma once

#include <optional>
#include <string>

namespace velk::rocker_sim {

// The HOME the extension sees, where it keeps its package file
// (velk_ws/extensions/rocker/package.json). A run gets a fresh temporary one,
// removed afterwards, so that a simulation never touches the package file of
// a real installation; or a folder the user names, kept.
//
// Sets the environment variable HOME: make it before any thread starts.
class HomeDirectory {
 public:
  // Empty `path`: a temporary directory. Throws std::runtime_error when the
  // folders cannot be made.
  explicit HomeDirectory(const std::string& path);
  ~HomeDirectory();
  HomeDirectory(const HomeDirectory&) = delete;
  HomeDirectory& operator=(const HomeDirectory&) = delete;

  const std::string& path() const { return path_; }
  std::string packageFile() const;
  std::optional<std::string> packageContent() const;

 private:
  std::string path_;
  bool temporary_ = false;
};

}  // namespace velk::rocker_sim
