#pragma once

#include <nlohmann/json.hpp>

#include "bench/bench_rig.h"

namespace velk::bench {

class HostCallReplay;

struct CpuSettings {
  double window_s = 20.0;
};

// Figure 4: the processor time of the bundle's two threads (the periodic
// task thread "ROCKER Server" and the Modbus poll thread) per second of wall
// time, with the joystick connected, jogging switched on and the stick at
// rest, and their wake-ups (voluntary context switches) per second. The
// host's robot API calls run on the task thread and are part of the figure;
// their share is measured apart by replaying them (host_call_replay.h).
// Beside the bundle, two yardstick threads wake on the same 10 ms grid: one
// doing nothing, one replaying the host calls (periodic_probe.h).
class CpuBench {
 public:
  CpuBench(BenchRig& rig, CpuSettings settings);
  void run(nlohmann::json& figures);

 private:
  HostCallReplay recordHostCalls();

  BenchRig& rig_;
  CpuSettings settings_;
};

}  // namespace velk::bench
