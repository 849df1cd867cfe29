#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "bench/bench_rig.h"

namespace velk::bench {

// A clear push of the stick: far above the start threshold of 200.
inline constexpr int kPushDeflection = 500;

// Moves the stick at the joystick slave (or does anything else to the
// joystick) and waits for the robot command it causes, timing the two ends:
// when the registers changed at the slave and when the command reached the
// robot (the simulated robot stamps every call with the steady clock).
class JoystickDriver {
 public:
  struct Timing {
    bool ok = false;  // the command came in time
    // Just before the action began, and once it was done.
    std::chrono::steady_clock::time_point began;
    std::chrono::steady_clock::time_point changed;
    std::chrono::steady_clock::time_point command;
    // The start waited out the 100 ms pause the bundle keeps after a stop.
    bool paused = false;
    double ms() const;
  };

  explicit JoystickDriver(BenchRig& rig);

  // Deflects x to `value` and waits for speedLine.
  Timing push(int16_t value, std::chrono::milliseconds timeout = std::chrono::seconds(3));
  // Centres x and waits for stopLine.
  Timing release(std::chrono::milliseconds timeout = std::chrono::seconds(3));
  // Does `action` and waits for the robot command `command`.
  Timing actAndAwait(const std::function<void()>& action, const char* command,
                     std::chrono::milliseconds timeout = std::chrono::seconds(3));

 private:
  BenchRig& rig_;
};

}  // namespace velk::bench
