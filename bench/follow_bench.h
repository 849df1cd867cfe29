#pragma once

#include <nlohmann/json.hpp>

#include "bench/bench_rig.h"

namespace velk::bench {

struct FollowSettings {
  int jogs = 20;
};

// A following jog (start option jog_follow = true) at the rig's stick rate.
//
// - Stick change to new speedLine: each jog pushes x to 400, waits until
//   the command has settled, then moves x to 800 at a point of the stick's
//   read period that steps evenly through it, and times the change at the
//   slave to the speedLine it causes.
// - Commands per second while following: x swept from 300 to 1000 and back
//   in 2 s, in steps of 10 ms, as a hand moves; the speedLines sent in that
//   time, per second, against the stick rate that bounds them.
class FollowBench {
 public:
  FollowBench(BenchRig& rig, FollowSettings settings);
  void run(nlohmann::json& figures);

 private:
  void steps(nlohmann::json& figures);
  void sweep(nlohmann::json& figures);

  BenchRig& rig_;
  FollowSettings settings_;
};

}  // namespace velk::bench
