#pragma once

#include <nlohmann/json.hpp>

#include "bench/bench_rig.h"

namespace velk::bench {

struct PacedLineSettings {
  double window_s = 10.0;
  int jogs = 10;
};

// The joystick on a real line's terms: RTU paced at 115200 baud, each reply
// held by a USB serial adapter's latency (BenchRigSettings::reply_latency_ms,
// 0 or 16 ms on the page), at the rig's stick rate and input_timeout.
//
// - At rest, over a window: the interval from one read of each group to the
//   next (median, p99, against the interval asked), and the time of one
//   request.
// - Jogs held for 800 ms and a part of a stick read period each (the parts
//   step evenly through it): how many the bundle cut short while the stick
//   was held (stale values on a line too slow for input_timeout), and from
//   each release to stopLine.
// - How often the line's and input_timeout's Warnings were logged.
class PacedLineBench {
 public:
  PacedLineBench(BenchRig& rig, PacedLineSettings settings);
  void run(nlohmann::json& figures);

 private:
  nlohmann::json groupIntervals();
  void jogs(nlohmann::json& figures);

  BenchRig& rig_;
  PacedLineSettings settings_;
};

}  // namespace velk::bench
