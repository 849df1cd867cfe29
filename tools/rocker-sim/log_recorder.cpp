#include "rocker-sim/log_recorder.h"

#include <cstdio>

#include "rocker-sim/console.h"
#include "rocker-sim/sim_clock.h"

namespace velk::rocker_sim {

namespace {

char levelLetter(int level) {
  static const char kLetters[] = "CEWIDB";
  return level >= 0 && level <= 5 ? kLetters[level] : '?';
}

std::string baseName(const char* file) {
  if (file == nullptr) return {};
  const std::string path(file);
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

LogRecorder::LogRecorder(const SimClock& clock, Console& console, int print_level)
    : clock_(clock), console_(console), print_level_(print_level) {}

LogRecorder::Callback LogRecorder::callback() {
  return [this](int level, const char* file, int line, const std::string& message) {
    add(level, file, line, message);
  };
}

void LogRecorder::add(int level, const char* file, int line, const std::string& message) {
  LogEntry entry{0.0, level, baseName(file), line, message};
  std::lock_guard<std::mutex> lock(mutex_);
  // Stamped under the lock, so that the entries stay in time order.
  entry.t = clock_.now();
  if (level <= print_level_) console_.errorLine(format(entry));
  if (entries_.size() >= kCapacity) {
    entries_.pop_front();
    ++dropped_;
  }
  entries_.push_back(std::move(entry));
}

std::vector<LogEntry> LogRecorder::entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {entries_.begin(), entries_.end()};
}

std::size_t LogRecorder::dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

std::string LogRecorder::format(const LogEntry& entry) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%8.3f] %c ", entry.t, levelLetter(entry.level));
  return stamp + entry.file + ":" + std::to_string(entry.line) + "  " + entry.message;
}

}  // namespace velk::rocker_sim
