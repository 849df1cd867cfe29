#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/log_callback.h"

namespace velk::host_rig {

// The host's log callback, called from the bundle's threads at once. It
// serves three uses with one set of counts:
//   - capture: keeps every message, for tests (the default);
//   - count: keeps none or a few, and counts the messages that contain the
//     watched texts, so that a long benchmark holds no more at its end than
//     at its start;
//   - record: stamps each message on a run clock and echoes it down to a
//     level, for a simulator's console and reports.
//
//   LogSink log;
//   ModbusDevice device(log.callback(), ...);
//   EXPECT_EQ(log.count(velk::kLogError, "modbus no init !"), 1);
//
// Configure it before handing out callback(); the callback captures `this`:
// the sink must outlive everything that logs through it.
class LogSink {
 public:
  struct Entry {
    double t = 0.0;  // the clock's reading, 0 without one
    int level = 0;
    std::string file;  // base name
    int line = 0;
    std::string message;
  };
  using Clock = std::function<double()>;
  using Echo = std::function<void(const std::string& line)>;
  static constexpr std::size_t kKeepAll = std::numeric_limits<std::size_t>::max();

  // Keeps at most `keep` entries, dropping (and counting) the oldest.
  explicit LogSink(std::size_t keep = kKeepAll);

  void watch(const std::vector<std::string>& texts);
  void stampWith(Clock clock);
  // Lines of entries at `level` or more urgent go to `echo` as format() makes them.
  void echo(int level, Echo echo);

  LogCallback callback();

  std::vector<Entry> entries() const;
  // Messages at `level`, in order; level -1 means every level.
  std::vector<std::string> messages(int level = -1) const;
  // Kept entries whose message is exactly `message` at `level`; level -1
  // means every level.
  int count(int level, const std::string& message) const;
  bool contains(const std::string& message) const { return count(-1, message) > 0; }
  // Messages at any level that contain `text`: every one since the start
  // for a watched text, else those kept.
  int countContaining(const std::string& text) const;
  // Every message since the start.
  std::size_t total() const;
  std::size_t dropped() const;
  void clear();

  static std::string format(const Entry& entry);

 private:
  void add(int level, const char* file, int line, const std::string& message);

  const std::size_t keep_;
  Clock clock_;
  Echo echo_;
  int echo_level_ = -1;
  mutable std::mutex mutex_;
  std::deque<Entry> entries_;
  std::map<std::string, int> watched_;
  std::size_t total_ = 0;
  std::size_t dropped_ = 0;
};

}  // namespace velk::host_rig
