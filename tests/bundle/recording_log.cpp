#include "bundle/recording_log.h"

#include <algorithm>

namespace rocker_test {

velk::LogCallback RecordingLog::callback() {
  return [this](int level, const char* file, int line, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(Entry{level, file ? file : "", line, text});
  };
}

std::vector<RecordingLog::Entry> RecordingLog::entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

std::vector<std::string> RecordingLog::texts() const {
  std::vector<std::string> result;
  for (const auto& e : entries()) result.push_back(e.text);
  return result;
}

bool RecordingLog::contains(const std::string& text) const { return count(text) > 0; }

int RecordingLog::count(const std::string& text) const {
  const auto all = texts();
  return static_cast<int>(std::count(all.begin(), all.end(), text));
}

}  // namespace rocker_test
