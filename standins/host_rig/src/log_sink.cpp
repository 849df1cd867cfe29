#include "host_rig/log_sink.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace velk::host_rig {

namespace {

char levelLetter(int level) {
  static const char kLetters[] = "CEWIDB";
  return level >= 0 && level <= 5 ? kLetters[level] : '?';
}

std::string baseName(const char* file) {
  if (file == nullptr) return {};
  const char* slash = std::strrchr(file, '/');
  return slash == nullptr ? file : slash + 1;
}

}  // namespace

LogSink::LogSink(std::size_t keep) : keep_(keep) {}

void LogSink::watch(const std::vector<std::string>& texts) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const std::string& text : texts) watched_.emplace(text, 0);
}

void LogSink::stampWith(Clock clock) { clock_ = std::move(clock); }

void LogSink::echo(int level, Echo echo) {
  echo_level_ = level;
  echo_ = std::move(echo);
}

LogCallback LogSink::callback() {
  return [this](int level, const char* file, int line, const std::string& message) {
    add(level, file, line, message);
  };
}

void LogSink::add(int level, const char* file, int line, const std::string& message) {
  Entry entry{0.0, level, baseName(file), line, message};
  std::lock_guard<std::mutex> lock(mutex_);
  // Stamped under the lock, so that the entries stay in time order.
  if (clock_) entry.t = clock_();
  if (echo_ && level <= echo_level_) echo_(format(entry));
  ++total_;
  for (auto& [text, count] : watched_) {
    if (message.find(text) != std::string::npos) ++count;
  }
  if (keep_ == 0) {
    ++dropped_;
    return;
  }
  if (entries_.size() >= keep_) {
    entries_.pop_front();
    ++dropped_;
  }
  entries_.push_back(std::move(entry));
}

std::vector<LogSink::Entry> LogSink::entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {entries_.begin(), entries_.end()};
}

std::vector<std::string> LogSink::messages(int level) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> result;
  for (const Entry& entry : entries_) {
    if (level < 0 || entry.level == level) result.push_back(entry.message);
  }
  return result;
}

int LogSink::count(int level, const std::string& message) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(std::count_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
    return (level < 0 || e.level == level) && e.message == message;
  }));
}

int LogSink::countContaining(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto watched = watched_.find(text);
  if (watched != watched_.end()) return watched->second;
  return static_cast<int>(std::count_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
    return e.message.find(text) != std::string::npos;
  }));
}

std::size_t LogSink::total() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return total_;
}

std::size_t LogSink::dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

void LogSink::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

std::string LogSink::format(const Entry& entry) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%8.3f] %c ", entry.t, levelLetter(entry.level));
  return stamp + entry.file + ":" + std::to_string(entry.line) + "  " + entry.message;
}

}  // namespace velk::host_rig
