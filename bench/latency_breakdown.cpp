#include "bench/latency_breakdown.h"

#include <algorithm>

#include "bench/ms_between.h"
#include "bench/sample_stats.h"

namespace velk::bench {
LatencyBreakdown::LatencyBreakdown(const std::vector<ModbusCall>& stick_reads,
                                   const std::vector<Sample>& samples, double cycle_ms,
                                   int extra_cycles)
    : cycle_ms_(cycle_ms), extra_cycles_(extra_cycles) {
  const auto settle = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double, std::milli>(cycle_ms * extra_cycles));
  for (const Sample& sample : samples) {
    const ModbusCall* carrier = nullptr;
    for (const ModbusCall& read : stick_reads) {
      if (read.end > sample.command - settle) break;
      carrier = &read;
    }
    if (carrier == nullptr || carrier->end <= sample.changed) {
      ++unexplained_;
      continue;
    }
    const auto read_from = std::max(carrier->start, sample.changed);
    wait_ms_.push_back(std::max(0.0, msBetween(sample.changed, carrier->start)));
    read_ms_.push_back(msBetween(read_from, carrier->end));
    decide_ms_.push_back(msBetween(carrier->end, sample.command));
  }
}

nlohmann::json LatencyBreakdown::toJson() const {
  return {{"wait_ms", SampleStats::of(wait_ms_).toJson()},
          {"read_ms", SampleStats::of(read_ms_).toJson()},
          {"decide_ms", SampleStats::of(decide_ms_).toJson()},
          {"decide_model_min_ms", cycle_ms_ * extra_cycles_},
          {"decide_model_max_ms", cycle_ms_ * (extra_cycles_ + 1)},
          {"unexplained", unexplained_}};
}

}  // namespace velk::bench
