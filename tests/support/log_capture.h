#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "common/log_callback.h"

namespace velk::test {

// Collects what a component logs, from any number of threads.
//
//   LogCapture log;
//   ModbusDevice device(log.callback(), ...);
//   EXPECT_EQ(log.count(velk::kLogError, "modbus no init !"), 1);
//
// callback() captures `this`: the capture must outlive everything that logs
// through it.
class LogCapture {
 public:
  struct Entry {
    int level = 0;
    std::string file;
    int line = 0;
    std::string message;
  };

  LogCallback callback();
  std::vector<Entry> entries() const;
  // Messages at `level`, in order; level -1 means every level.
  std::vector<std::string> messages(int level = -1) const;
  // Entries whose message is exactly `message` at `level`.
  int count(int level, const std::string& message) const;
  // Entries at any level whose message contains `text`.
  int countContaining(const std::string& text) const;
  void clear();

 private:
  void add(int level, const char* file, int line, const std::string& message);

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace velk::test
