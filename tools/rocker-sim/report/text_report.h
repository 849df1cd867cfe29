#pragma once

#include <string>
#include <vector>

#include "rocker-sim/report/jog.h"
#include "rocker-sim/run/run_info.h"
#include "rocker-sim/run/run_record.h"

namespace velk::rocker_sim {

// The end-of-run summary on the terminal: the table of jogs, the lights and
// indicator codes over time, and the tool's path.
class TextReport {
 public:
  static std::string render(const RunInfo& info, const RunRecord& record,
                            const std::vector<Jog>& jogs);

 private:
  static std::string jogTable(const std::vector<Jog>& jogs);
  static std::string jogRow(const Jog& jog);
  static std::string turnTable(const std::vector<Jog>& jogs);
  static std::string lightTable(const RunRecord& record);
  static std::string pathTable(const RunRecord& record, const std::vector<Jog>& jogs);
  static double travelled(const RunRecord& record);
};

}  // namespace velk::rocker_sim
