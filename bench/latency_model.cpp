#include "bench/latency_model.h"

#include <algorithm>
#include <cmath>

namespace velk::bench {

LatencyModel::LatencyModel(double group_period_ms, double longest_group_period_ms, double read_ms,
                           double longest_read_ms, double cycle_ms, int extra_cycles)
    : group_period_ms_(group_period_ms),
      longest_group_period_ms_(longest_group_period_ms),
      read_ms_(read_ms),
      longest_read_ms_(longest_read_ms),
      cycle_ms_(cycle_ms),
      extra_cycles_(extra_cycles) {}

double LatencyModel::quantile(double q) const {
  // U + V with U uniform on [0, b) and V uniform on [0, a), a <= b: the
  // density rises over [0, a], stays flat to b and falls to a + b.
  const double a = std::min(group_period_ms_, cycle_ms_);
  const double b = std::max(group_period_ms_, cycle_ms_);
  q = std::clamp(q, 0.0, 1.0);
  double sum;
  if (q <= a / (2.0 * b)) {
    sum = std::sqrt(2.0 * a * b * q);
  } else if (q <= 1.0 - a / (2.0 * b)) {
    sum = q * b + a / 2.0;
  } else {
    sum = a + b - std::sqrt(2.0 * a * b * (1.0 - q));
  }
  return sum + read_ms_ + extra_cycles_ * cycle_ms_;
}

double LatencyModel::minimum() const { return read_ms_ + extra_cycles_ * cycle_ms_; }

double LatencyModel::maximum() const {
  return longest_group_period_ms_ + longest_read_ms_ + cycle_ms_ + extra_cycles_ * cycle_ms_;
}

nlohmann::json LatencyModel::toJson() const {
  return {{"group_period_ms", group_period_ms_},
          {"longest_group_period_ms", longest_group_period_ms_},
          {"read_ms", read_ms_},
          {"longest_read_ms", longest_read_ms_},
          {"cycle_ms", cycle_ms_},
          {"extra_cycles", extra_cycles_},
          {"min", minimum()},
          {"median", quantile(0.5)},
          {"p90", quantile(0.9)},
          {"p99", quantile(0.99)},
          {"max", maximum()}};
}

}  // namespace velk::bench
