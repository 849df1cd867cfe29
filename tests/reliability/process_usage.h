#pragma once

#include <string>

namespace rocker_reliability {

// What this process holds right now, from /proc/self: threads, open file
// descriptors (with the serial lines among them) and resident memory.
struct ProcessUsage {
  int threads = 0;
  int file_descriptors = 0;
  int pseudo_terminals = 0;
  long resident_kib = 0;

  static ProcessUsage now();
  std::string describe() const;
};

}  // namespace rocker_reliability
