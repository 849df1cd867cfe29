#include "bench/log_counter.h"

#include <utility>

namespace velk::bench {

LogCounter::LogCounter(std::vector<std::string> watched) : watched_(std::move(watched)) {
  for (const std::string& text : watched_) counts_[text] = 0;
}

LogCounter::Callback LogCounter::callback() {
  return [this](int, const char*, int, const std::string& message) { add(message); };
}

void LogCounter::add(const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++total_;
  for (const std::string& text : watched_) {
    if (message.find(text) != std::string::npos) ++counts_[text];
  }
}

int LogCounter::count(const std::string& watched) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = counts_.find(watched);
  return it == counts_.end() ? 0 : it->second;
}

int LogCounter::total() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return total_;
}

}  // namespace velk::bench
