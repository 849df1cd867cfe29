#pragma once

#include <chrono>
#include <vector>

#include "bench/modbus_call_log.h"

namespace velk::bench {

// The poll thread's schedule as its Modbus calls show it. Calls less than
// 5 ms apart belong to one pass (passes are at least the 10 ms sleep apart);
// a group pass is one that read the input-register group, which holds the
// stick axes.
class PollTimeline {
 public:
  struct Pass {
    std::chrono::steady_clock::time_point first_start;
    std::chrono::steady_clock::time_point last_end;
    std::vector<ModbusCall> calls;
    bool readsStick() const;
    double ioMs() const;  // first request out to last reply in
  };

  explicit PollTimeline(const std::vector<ModbusCall>& calls_of_poll_thread);

  // Whether a request of `function` for `count` items from `address` reads
  // the stick: an input-register read that spans the first axis.
  static bool readsStick(int function, int address, int count);

  const std::vector<Pass>& passes() const { return passes_; }
  // Start to start of consecutive input-register group reads.
  std::vector<double> groupPeriodsMs() const;
  // Round trips of those reads.
  std::vector<double> stickReadMs() const;
  // I/O of the passes that read the groups.
  std::vector<double> groupPassIoMs() const;
  // Group passes that began inside [from, to).
  int groupPassesBetween(std::chrono::steady_clock::time_point from,
                         std::chrono::steady_clock::time_point to) const;

 private:
  std::vector<const ModbusCall*> stickReads() const;
  std::vector<Pass> passes_;
};

}  // namespace velk::bench
