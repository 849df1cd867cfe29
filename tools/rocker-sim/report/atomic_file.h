#pragma once

#include <string>

namespace velk::rocker_sim {

// Writes a whole file or nothing: the content goes to a temporary file next
// to it, which then replaces the file in one rename. A reader never sees a
// half-written report, and a failed write leaves the old file as it was.
class AtomicFile {
 public:
  // Throws std::runtime_error naming the path and the system's reason.
  static void write(const std::string& path, const std::string& content);
  // Whether a file can be made at `path` (its folder exists and is
  // writable); checked before a run so that it does not end in vain.
  static bool canCreate(const std::string& path);
};

}  // namespace velk::rocker_sim
