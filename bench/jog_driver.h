#pragma once

#include <chrono>
#include <cstdint>

#include "bench/rocker_rig.h"

namespace velk::bench {

// Moves the stick at the joystick slave and waits for the robot command it
// causes, timing the two ends: when the registers changed at the slave and
// when the command reached the robot (the simulated robot stamps every call
// with the steady clock).
class JogDriver {
 public:
  struct Timing {
    bool ok = false;  // the command came in time
    std::chrono::steady_clock::time_point changed;
    std::chrono::steady_clock::time_point command;
    // The start waited out the 100 ms pause the bundle keeps after a stop.
    bool paused = false;
    double ms() const;
  };

  explicit JogDriver(RockerRig& rig);

  // Deflects x to `value` and waits for speedLine.
  Timing push(int16_t value, std::chrono::milliseconds timeout = std::chrono::seconds(3));
  // Centres x and waits for stopLine.
  Timing release(std::chrono::milliseconds timeout = std::chrono::seconds(3));

 private:
  Timing moveAndAwait(int16_t value, const char* command, std::chrono::milliseconds timeout);

  RockerRig& rig_;
};

}  // namespace velk::bench
