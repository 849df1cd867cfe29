#include "support/log_capture.h"

#include <algorithm>

namespace velk::test {

LogCallback LogCapture::callback() {
  return [this](int level, const char* file, int line, const std::string& message) {
    add(level, file, line, message);
  };
}

void LogCapture::add(int level, const char* file, int line, const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(Entry{level, file != nullptr ? file : "", line, message});
}

std::vector<LogCapture::Entry> LogCapture::entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

std::vector<std::string> LogCapture::messages(int level) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> result;
  for (const Entry& entry : entries_) {
    if (level < 0 || entry.level == level) result.push_back(entry.message);
  }
  return result;
}

int LogCapture::count(int level, const std::string& message) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(std::count_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
    return e.level == level && e.message == message;
  }));
}

int LogCapture::countContaining(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(std::count_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
    return e.message.find(text) != std::string::npos;
  }));
}

void LogCapture::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

}  // namespace velk::test
