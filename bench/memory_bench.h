#pragma once

#include <functional>
#include <nlohmann/json.hpp>

#include "bench/bench_rig.h"
#include "bench/process_memory.h"

namespace velk::bench {

struct MemorySettings {
  double window_s = 10.0;  // allocation counts at rest; half of it while jogging
  double growth_s = 60.0;  // the growth run
};

// Figure 5: memory.
// - Resident size added by loading the bundle (library mapped, activator
//   run, service registered) and by starting it (threads, registry, joystick
//   connected, jogging on), from /proc/self/status.
// - Heap allocations per task cycle and per poll pass, at rest and while a
//   jog is held, from the allocator counters of this executable; and those
//   of the task thread around a jog's start and its stop.
// - Growth over a run of repeated jogs (3 s each: push, hold 1 s, release,
//   rest), sampled at the same point of each jog: resident size, heap in use
//   and live heap blocks. The benchmark's own records are kept bounded, so
//   what grows is the bundle's or its libraries'.
class MemoryBench {
 public:
  MemoryBench(BenchRig& rig, MemorySettings settings);
  void run(nlohmann::json& figures);

 private:
  nlohmann::json allocationWindow(double seconds);
  // The task thread's allocations while `action` (a jog's start or stop)
  // runs, and how many of them go beyond what as many cycles at rest make.
  nlohmann::json taskAllocationsAround(double rest_per_cycle, const std::function<void()>& action);
  nlohmann::json growthRun();

  BenchRig& rig_;
  MemorySettings settings_;
};

}  // namespace velk::bench
