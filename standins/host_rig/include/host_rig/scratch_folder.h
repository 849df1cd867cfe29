#pragma once

#include <string>

namespace velk::host_rig {

// A fresh folder of its own, made with mkdtemp under `base` (the system's
// temporary folder when empty) and removed with everything in it when the
// object goes.
//
//   ScratchFolder scratch("rocker-test");
//   const std::string options = scratch.write("options.toml", "cycle = 0.01\n");
class ScratchFolder {
 public:
  // Throws std::runtime_error when the folder cannot be made.
  explicit ScratchFolder(const std::string& prefix = "rocker", const std::string& base = "");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes `content` to `name` in the folder and returns its path.
  std::string write(const std::string& name, const std::string& content) const;
  bool exists(const std::string& name) const;

  // Whole files, byte for byte; an unreadable file reads as empty.
  static void writeFile(const std::string& path, const std::string& content);
  static std::string read(const std::string& path);

 private:
  std::string path_;
};

}  // namespace velk::host_rig
