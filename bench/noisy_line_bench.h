#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "bench/bench_rig.h"
#include "joystick_sim/frame_damage.h"

namespace velk::bench {

struct NoisyLineSettings {
  joystick_sim::Damage damage = joystick_sim::Damage::kBadCrc;
  // One reply in `period` is damaged.
  int period = 25;
  double window_s = 10.0;
  int jogs = 4;
};

// The joystick on a noisy line (docs/reliability.md): its replies reach the
// bundle through the mangling TCP proxy or the serial line tap, and from a
// moment on one in `period` of them (at random) is damaged in one way. The rig must be
// tapped.
//
// - Requests at rest, at the slave and by function, over a window on the
//   clean line and again over a window on the noisy one.
// - A scripted sequence of jogs on the noisy line: push, hold 1.5 s,
//   release; each jog ends "released" (its stop came with the release),
//   "cut short" (stopped while the stick was still held) or "not started".
// - Over the whole noisy stretch: replies damaged, reopenings of the
//   connection, "Assume modbus unit disconnected" warnings and
//   "Get rocker modbus data error!" messages.
//
// The jogs come before the noisy rest window, so that errors the window
// adds up cannot keep them from starting.
class NoisyLineBench {
 public:
  NoisyLineBench(BenchRig& rig, NoisyLineSettings settings);
  void run(nlohmann::json& figures);

  // One Markdown table row of a run's figures, and the table's head.
  static std::string tableHead();
  static std::string tableRow(const nlohmann::json& figures);

 private:
  nlohmann::json restWindow();
  std::string jog();

  BenchRig& rig_;
  NoisyLineSettings settings_;
};

}  // namespace velk::bench
