#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>

namespace velk::bench {

// Turns the JSON results of one bench run into docs/benchmarks.md: the
// machine, the date, every figure with how it was measured and its goal,
// whether it meets the goal and, where it misses, why, from the figures
// that explain it (the latency breakdown, the yardstick threads, the pass
// times).
class ReportWriter {
 public:
  explicit ReportWriter(const std::string& results_folder);
  void write(const std::string& path) const;

 private:
  using Json = nlohmann::json;

  // The result of `bench` over `transport`, or an empty object.
  const Json& result(const std::string& bench, const std::string& transport) const;
  const Json& figures(const std::string& bench, const std::string& transport) const;

  void header(std::ostringstream& out) const;
  void summary(std::ostringstream& out) const;
  void latency(std::ostringstream& out) const;
  void latencyWhy(std::ostringstream& out, const std::string& transport,
                  const std::string& kind) const;
  void wire(std::ostringstream& out) const;
  void rtuPass(std::ostringstream& out) const;
  void cpu(std::ostringstream& out) const;
  void memory(std::ostringstream& out) const;
  void shutdown(std::ostringstream& out) const;
  void watchdog(std::ostringstream& out) const;

  bool latencyMeets(const std::string& transport, const char* kind) const;
  bool batchedMinimum(const std::string& transport) const;
  bool cpuMeets(const std::string& transport) const;
  bool noGrowth(const std::string& transport) const;
  bool stopMeets(const std::string& transport) const;
  bool releaseMeets(const std::string& transport) const;
  double releaseGoalMs(const std::string& transport) const;
  bool silentMeets(const std::string& transport) const;
  bool droppedMeets(const std::string& transport) const;
  double silentGoalMs(const std::string& transport) const;

  std::map<std::pair<std::string, std::string>, Json> results_;
  Json empty_ = Json::object();
};

}  // namespace velk::bench
