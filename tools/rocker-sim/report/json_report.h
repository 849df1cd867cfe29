#pragma once

#include <nlohmann/json.hpp>
#include <vector>

#include "rocker-sim/report/jog.h"
#include "rocker-sim/run/run_info.h"
#include "rocker-sim/run/run_record.h"

namespace velk::rocker_sim {

// Everything about a run as one JSON document: the setup, the jogs, the
// lights, the tool's path, the steps, waits and faults, the bundle's log
// and every call the robot received, with its arguments, result and time.
// Times are seconds on the run clock (0 when the extension was started).
class JsonReport {
 public:
  static nlohmann::json build(const RunInfo& info, const RunRecord& record,
                              const std::vector<Jog>& jogs);
  // The document as text; invalid UTF-8 in a log message is replaced rather
  // than failing the report.
  static std::string text(const nlohmann::json& report);

 private:
  static nlohmann::json run(const RunInfo& info, const RunRecord& record);
  static nlohmann::json jog(const Jog& jog);
  static nlohmann::json events(const RunRecord& record);
  static nlohmann::json robotCalls(const RunRecord& record);
};

}  // namespace velk::rocker_sim
