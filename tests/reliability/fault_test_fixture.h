#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <string>

#include "host_rig/bundle_rig.h"
#include "host_rig/rig_timing.h"

namespace rocker_reliability {

using namespace velk::host_rig::timing;

// What the fault tests hold the bundle to, over any link.
constexpr auto kLossBound = 500ms;
// The default input_timeout; a silent joystick's values are that old a group
// period (100 ms) and a cycle after its last reply at the latest.
constexpr auto kInputTimeout = 300ms;
constexpr auto kAgeCheckSlack = 300ms;
inline const char* const kReadError = "Get rocker modbus data error!";
inline const char* const kReadBack = "Get rocker modbus data success!";

// What every fault test checks after injecting its fault, over any link:
// the jog stopped in time, and the log did not repeat itself every cycle.
class FaultTestFixture : public ::testing::Test {
 protected:
  // Starts the bundle against `joystick` at `device_info`, switches jogging
  // on and starts a jog; fatal failures end the test. Marks the log and the
  // time once the jog runs, where the fault's effects are counted from.
  void startJogging(const std::string& device_info, velk::joystick_sim::ModbusSlave& joystick);

  // The stop command came within `bound` (scaled for sanitizer builds) of
  // `injected`; the latency is printed as a figure.
  void expectStopWithin(Clock::time_point injected, std::chrono::milliseconds bound,
                        const std::string& figure);

  // A message that comes back every cycle shows up about 100 times a
  // second; one per reconnection attempt (about one a second) or a few
  // repeats are events, not a flood. ROCKER_RELIABILITY_LOG=1 prints what
  // the bundle said after `mark`.
  void expectNoFlood(std::size_t mark, Clock::time_point since);
  // The same from the marks of startJogging.
  void expectNoFlood() { expectNoFlood(mark_, marked_); }

  static void report(const std::string& figure, Clock::duration d);

  velk::host_rig::BundleRig rig_{ROCKER_BUNDLE_PATH};
  std::size_t mark_ = 0;
  Clock::time_point marked_;
};

}  // namespace rocker_reliability
