#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <vector>

namespace velk::bench {

// Order statistics of a set of measurements. Percentiles are nearest-rank:
// the p-th percentile is the smallest value with at least p % of the values
// at or below it, so with 200 samples p99 is the second largest.
struct SampleStats {
  std::size_t count = 0;
  double min = 0.0;
  double median = 0.0;
  double p90 = 0.0;
  double p99 = 0.0;
  double max = 0.0;
  double mean = 0.0;

  static SampleStats of(std::vector<double> values);
  static double percentile(const std::vector<double>& sorted, double p);
  nlohmann::json toJson() const;
};

}  // namespace velk::bench
