#include "bench/sample_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace velk::bench {

double SampleStats::percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0.0;
  const double rank = std::ceil(p / 100.0 * static_cast<double>(sorted.size()));
  const std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
  return sorted[std::min(index, sorted.size() - 1)];
}

SampleStats SampleStats::of(std::vector<double> values) {
  SampleStats stats;
  if (values.empty()) return stats;
  std::sort(values.begin(), values.end());
  stats.count = values.size();
  stats.min = values.front();
  stats.median = percentile(values, 50.0);
  stats.p90 = percentile(values, 90.0);
  stats.p99 = percentile(values, 99.0);
  stats.max = values.back();
  stats.mean =
      std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
  return stats;
}

nlohmann::json SampleStats::toJson() const {
  return {{"count", count}, {"min", min}, {"median", median}, {"p90", p90},
          {"p99", p99},     {"max", max}, {"mean", mean}};
}

}  // namespace velk::bench
