#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>

#include "bench/bench_rig.h"

namespace velk::bench {

struct ShutdownSettings {
  int iterations = 15;
  uint32_t seed = 6;
};

// Figure 6: how long the host waits in the extension's stop(), and in the
// release of the extension (the host drops its reference and stops the
// bundle; the framework withdraws the service, which destroys the extension,
// its periodic thread, the rocker service, the registry and, after the pass
// in progress, the poll thread). Each iteration starts the bundle afresh,
// waits until the joystick has been read, then a random part of a group
// period so that the stop falls anywhere in the poll schedule.
class ShutdownBench {
 public:
  ShutdownBench(BenchRig& rig, ShutdownSettings settings);
  void run(nlohmann::json& figures);

 private:
  BenchRig& rig_;
  ShutdownSettings settings_;
};

}  // namespace velk::bench
