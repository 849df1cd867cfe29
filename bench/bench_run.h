#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "bench/transport.h"

namespace velk::bench {

// The frame of every benchmark's result: which benchmark, over what, on
// which machine, when and under what load; the benchmark fills "figures".
class BenchRun {
 public:
  BenchRun(const std::string& bench, Transport transport);

  nlohmann::json& figures() { return result_["figures"]; }
  // The bundle's stick rate (Hz) and input_timeout (ms) in this run.
  void recordStartOptions(int stick_rate, double input_timeout_ms);
  // Stamps the end and writes the result as JSON to `path`.
  void finish(const std::string& path);

 private:
  nlohmann::json result_;
};

}  // namespace velk::bench
