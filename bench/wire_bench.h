#pragma once

#include <nlohmann/json.hpp>

#include "bench/bench_rig.h"

namespace velk::bench {

class PollTimeline;

struct WireSettings {
  double window_s = 10.0;
};

// Figures 2 and 3: what the bundle puts on the wire.
//
// - Light writes: from the bundle's start through switching jogging on and
//   two presses of the speed button, every light write and whether it was
//   repeated after the read that confirmed it.
// - At rest and while jogging: requests and bytes per second by function
//   code over a window, and reads per group pass, from the slave's request
//   log.
// - Beside the rest window, in the same run: a simple poller (one request
//   per signal, 16 signals, 10 Hz) against a second slave on the same
//   transport; the ratio of the two.
// - The I/O time of each group pass (first request out to last reply in),
//   against the wire time of its frames at 115200 baud.
// - At rest and while jogging: stick reads per second, and on RTU the share
//   of the line's time the bundle's frames take at 115200 baud.
class WireBench {
 public:
  WireBench(BenchRig& rig, WireSettings settings);
  void run(nlohmann::json& figures);

 private:
  void pressSpeedButton(bool light_after);
  nlohmann::json restWindow();
  nlohmann::json jogWindow();
  nlohmann::json passTimes(const PollTimeline& timeline);

  BenchRig& rig_;
  WireSettings settings_;
};

}  // namespace velk::bench
