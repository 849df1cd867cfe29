#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "bench/bench_rig.h"

namespace velk::bench {

struct LatencySettings {
  int pushes = 200;
  uint32_t seed = 8;
};

// Figure 1: from a change of the stick registers at the joystick to the
// robot's speedLine (push) and stopLine (release), over many jogs, next to
// the latency model (latency_model.h) fed with the group period and read
// times that the same run's poll thread showed.
//
// Each jog: wait a part of a group period, deflect x to +-500, wait for
// speedLine; wait 5 ms plus a part of a group period, centre x, wait for
// stopLine. The parts step through the period evenly (a golden-ratio
// sequence), so the changes fall at evenly spread moments of the poll
// schedule, as an operator's hand does at random, without the clumps of
// random draws. Pushes keep more
// than 200 ms from the last stop, so that no start waits out the bundle's
// pause between jogs (a start that did is counted apart).
class LatencyBench {
 public:
  LatencyBench(BenchRig& rig, LatencySettings settings);
  void run(nlohmann::json& figures);

 private:
  BenchRig& rig_;
  LatencySettings settings_;
};

}  // namespace velk::bench
