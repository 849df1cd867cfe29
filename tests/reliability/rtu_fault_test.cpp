// Faults of a joystick on a serial line (Modbus RTU over socat
// pseudo-terminals), end to end through the loaded bundle: damaged check
// sums, a silent slave and the line vanishing altogether.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "host_rig/bundle_rig.h"
#include "joystick_sim/pty_pair.h"
#include "joystick_sim/rtu_slave.h"
#include "joystick_sim/serial_line_tap.h"
#include "reliability/fault_test_fixture.h"

namespace rocker_reliability {
namespace {

using velk::joystick_sim::PtyPair;
using velk::joystick_sim::ReplyMangling;
using velk::joystick_sim::RtuSlave;
using velk::joystick_sim::SerialLineTap;

class RtuFaultTest : public FaultTestFixture {};

// A damaged frame is a failed read, not a lost line: the port stays open.
TEST_F(RtuFaultTest, BadCheckSumsStopTheJogKeepTheLineOpenAndItRecovers) {
  SerialLineTap line;
  RtuSlave joystick(line.slavePath());
  ASSERT_NO_FATAL_FAILURE(startJogging(line.deviceInfo(), joystick));

  const auto damaged = Clock::now();
  line.mangling().set(ReplyMangling::flipLastByte());
  expectStopWithin(damaged, kLossBound, "stop after bad check sums");
  std::this_thread::sleep_for(scaled(2000ms));
  EXPECT_EQ(rig_.countSince(mark_, kReadError), 1);
  EXPECT_EQ(rig_.countSince(mark_, "closed."), 0) << rig_.logSince(mark_);
  EXPECT_EQ(rig_.countSince(mark_, "Assume modbus unit disconnected"), 0);
  expectNoFlood();

  line.mangling().clear();
  EXPECT_TRUE(waitFor([&] { return rig_.countSince(mark_, kReadBack) == 1; }, 4000ms))
      << rig_.logSince(mark_);
}

TEST_F(RtuFaultTest, SilentSlaveStopsTheJogOnceItsValuesAreOlderThanTheInputTimeout) {
  PtyPair line;
  RtuSlave joystick(line.slavePath());
  ASSERT_NO_FATAL_FAILURE(startJogging(line.deviceInfo(), joystick));

  const auto silenced = Clock::now();
  joystick.setSilent(true);
  expectStopWithin(silenced, kInputTimeout + kAgeCheckSlack,
                   "stop after the RTU slave fell silent");
  // The read itself fails once the response time-out (1 s) has passed.
  EXPECT_TRUE(waitFor([&] { return rig_.countSince(mark_, kReadError) >= 1; }, 3000ms))
      << rig_.logSince(mark_);
  EXPECT_EQ(rig_.countSince(mark_, kReadError), 1);
  expectNoFlood();
}

TEST_F(RtuFaultTest, VanishingLineStopsTheJogAndIsReportedOnce) {
  auto line = std::make_unique<PtyPair>();
  auto joystick = std::make_unique<RtuSlave>(line->slavePath());
  ASSERT_NO_FATAL_FAILURE(startJogging(line->deviceInfo(), *joystick));
  const int jogs = rig_.speedCommands();

  // The adapter is pulled: the pseudo-terminals and their links go.
  const auto pulled = Clock::now();
  joystick.reset();
  line.reset();
  expectStopWithin(pulled, kLossBound, "stop after the serial line vanished");
  std::this_thread::sleep_for(scaled(2500ms));
  EXPECT_EQ(rig_.speedCommands(), jogs);
  EXPECT_EQ(rig_.countSince(mark_, kReadError), 1);
  expectNoFlood();
}

}  // namespace
}  // namespace rocker_reliability
