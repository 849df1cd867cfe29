#include "bench/bench_run.h"

#include <fstream>
#include <stdexcept>

#include "bench/machine_info.h"

namespace velk::bench {

BenchRun::BenchRun(const std::string& bench, Transport transport) {
  result_["bench"] = bench;
  result_["transport"] = transportName(transport);
  result_["machine"] = MachineInfo::collect();
  result_["started_utc"] = MachineInfo::utcNow();
  result_["load_start"] = MachineInfo::loadAverage();
  result_["figures"] = nlohmann::json::object();
}

void BenchRun::recordStartOptions(int stick_rate, double input_timeout_ms) {
  result_["stick_rate"] = stick_rate;
  result_["input_timeout_ms"] = input_timeout_ms;
}

void BenchRun::finish(const std::string& path) {
  result_["ended_utc"] = MachineInfo::utcNow();
  result_["load_end"] = MachineInfo::loadAverage();
  std::ofstream out(path);
  if (!out) throw std::runtime_error("cannot write " + path);
  out << result_.dump(2) << "\n";
}

}  // namespace velk::bench
