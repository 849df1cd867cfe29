#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "robot_sim/recorded_call.h"

namespace velk::common_interface {
class RobotInterface;
class ZorvApi;
}  // namespace velk::common_interface

namespace velk::bench {

// Part of what the bundle's task thread spends is spent inside the host's
// robot API: the stand-in robot answers every query by value, with vectors,
// strings and shared handles. To tell that part from the bundle's own, this
// replays on the calling thread the very queries the bundle made in a
// recorded window (each through the handle getter it needs) and measures
// their CPU time and heap allocations.
class HostCallReplay {
 public:
  struct Cost {
    double cpu_us_per_cycle = 0.0;
    double allocations_per_cycle = 0.0;
    double calls_per_cycle = 0.0;
  };

  // `recorded`: the robot's call record of `cycles` task cycles.
  HostCallReplay(std::shared_ptr<common_interface::ZorvApi> api,
                 std::vector<sim::RecordedCall> recorded, int cycles);

  // Replays the window until at least `min_cycles` cycles' worth of calls
  // have run.
  Cost measure(int min_cycles);
  // Replays the next cycle's share of the window (the calls in order,
  // wrapping round); for running them on a periodic thread.
  void replayCycle();
  // Names of recorded calls that are not replayed (commands, unknown).
  std::vector<std::string> skipped() const;
  nlohmann::json callMix() const;

 private:
  std::shared_ptr<common_interface::ZorvApi> api_;
  std::shared_ptr<common_interface::RobotInterface> robot_;
  std::vector<sim::RecordedCall> recorded_;
  int cycles_;
  bool replay(const sim::RecordedCall& call);

  std::vector<std::string> skipped_;
  std::size_t next_call_ = 0;
};

}  // namespace velk::bench
