#include "bench/joystick_driver.h"

#include "host_rig/rig_timing.h"

namespace velk::bench {

using host_rig::timing::waitFor;

double JoystickDriver::Timing::ms() const {
  return std::chrono::duration<double, std::milli>(command - changed).count();
}

JoystickDriver::JoystickDriver(BenchRig& rig) : rig_(rig) {}

JoystickDriver::Timing JoystickDriver::push(int16_t value, std::chrono::milliseconds timeout) {
  return actAndAwait([&] { rig_.joystick().setStickX(value); }, "speedLine", timeout);
}

JoystickDriver::Timing JoystickDriver::release(std::chrono::milliseconds timeout) {
  return actAndAwait([&] { rig_.joystick().setStickX(0); }, "stopLine", timeout);
}

JoystickDriver::Timing JoystickDriver::actAndAwait(const std::function<void()>& action,
                                                   const char* command,
                                                   std::chrono::milliseconds timeout) {
  const char* const kPauseWarning = "距离上一组运动时间间隔:";
  sim::SimulatedRobot& robot = rig_.robot();
  // Cleared first, so that any command recorded from here on answers this move.
  robot.clearCalls();
  const int pauses_before = rig_.log().countContaining(kPauseWarning);
  Timing timing;
  timing.began = std::chrono::steady_clock::now();
  action();
  // Taken after the change: from now on every read the slave serves sees it.
  timing.changed = std::chrono::steady_clock::now();
  timing.ok = waitFor(
      [&] {
        for (const sim::RecordedCall& call : robot.commands()) {
          if (call.name == command) {
            timing.command = call.steady_time;
            return true;
          }
        }
        return false;
      },
      timeout, std::chrono::milliseconds(3));
  timing.paused = rig_.log().countContaining(kPauseWarning) > pauses_before;
  return timing;
}

}  // namespace velk::bench
