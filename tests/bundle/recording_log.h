#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "common/log_callback.h"

namespace rocker_test {

// A log callback that keeps every message; safe to call from any thread.
class RecordingLog {
 public:
  struct Entry {
    int level;
    std::string file;
    int line;
    std::string text;
  };

  // The callback to hand to the code under test; it refers to this object.
  velk::LogCallback callback();

  std::vector<Entry> entries() const;
  std::vector<std::string> texts() const;
  bool contains(const std::string& text) const;
  int count(const std::string& text) const;

 private:
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace rocker_test
