#pragma once

#include <nlohmann/json.hpp>

#include "bench/bench_rig.h"

namespace velk::bench {

struct WatchdogSettings {
  int silences = 16;
  int drops = 6;
};

// Figure 7: how soon a jog ends when the joystick stops delivering.
//
// Silent: during a held jog the slave stops answering (it still receives
// the requests). The jog must end once the stick values are older than
// input_timeout; the time runs from the joystick's last reply that carried
// the stick values (the end of the last successful read of the stick group,
// timed at libmodbus in the poll thread) to the robot's stopLine. After the
// stop the slave answers again, the stick is centred and the next jog waits
// until the bundle has read the joystick back.
//
// Dropped: during a held jog the connection goes (LoopbackJoystick::unplug);
// the time runs from just before that to stopLine. The RTU line cannot come
// back under the same path, so every drop runs on a rig of its own.
//
// Each jog holds 20 to 120 ms after its speedLine before the fault, the
// holds spread evenly over the jogs, so that the faults fall evenly over
// the poll schedule.
class WatchdogBench {
 public:
  WatchdogBench(BenchRig& rig, BenchRigSettings rig_settings, WatchdogSettings settings);
  void run(nlohmann::json& figures);

 private:
  void silences(nlohmann::json& figures);
  void drops(nlohmann::json& figures);
  void awaitReadBack(int read_backs_before);

  BenchRig& rig_;
  BenchRigSettings rig_settings_;
  WatchdogSettings settings_;
};

}  // namespace velk::bench
