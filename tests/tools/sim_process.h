#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace rocker_sim_test {

// Runs the rocker-sim program to its end, with standard output and error
// caught in files of `folder`. A run that outlives `limit` is killed, so a
// hung simulator fails its test instead of stalling the suite.
class SimProcess {
 public:
  struct Result {
    int status = -1;  // exit status; -1 when killed or not run
    bool timed_out = false;
    std::string out;
    std::string err;
  };

  // Standard input reads `input` (written to a file of `folder`).
  static Result run(const std::vector<std::string>& args, const std::string& folder,
                    std::chrono::seconds limit = std::chrono::seconds(90),
                    const std::string& input = "");
};

}  // namespace rocker_sim_test
