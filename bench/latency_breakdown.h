#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <vector>

#include "bench/modbus_call_log.h"

namespace velk::bench {

// Splits each measured latency at the read of the stick group that carried
// the change: the wait for that read (the model's U), the read's round trip
// (d), and the decision after it (the model's V + k cycles). The carrying
// read is the last one that ended at least k cycles before the command,
// since the decision needs k further cycles after the cycle that first sees
// the value; reads are a group period apart, far more than the decision
// takes. The decision part is where a late-waking task thread shows.
class LatencyBreakdown {
 public:
  struct Sample {
    std::chrono::steady_clock::time_point changed;
    std::chrono::steady_clock::time_point command;
  };

  LatencyBreakdown(const std::vector<ModbusCall>& stick_reads, const std::vector<Sample>& samples,
                   double cycle_ms, int extra_cycles);

  // Stats of "wait_ms", "read_ms" and "decide_ms", the decision's model
  // bounds, and how many samples no read explained.
  nlohmann::json toJson() const;

 private:
  std::vector<double> wait_ms_;
  std::vector<double> read_ms_;
  std::vector<double> decide_ms_;
  int unexplained_ = 0;
  double cycle_ms_;
  int extra_cycles_;
};

}  // namespace velk::bench
