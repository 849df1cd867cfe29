// Faults of a joystick on Modbus TCP, end to end: librocker.so loaded
// through the framework, its registry and poll thread talking to a real
// libmodbus slave on loopback, the robot simulated. In every case the robot
// must not move without a push, an active jog must stop within half a
// second of the loss (once the stick values are older than input_timeout
// when the slave falls silent), and the log must say what happened once,
// not every cycle.
#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <string>
#include <thread>

#include "host_rig/bundle_rig.h"
#include "joystick_sim/joystick_map.h"
#include "joystick_sim/mangling_tcp_proxy.h"
#include "joystick_sim/tcp_slave.h"
#include "reliability/fault_test_fixture.h"
#include "robot_sim/robot_codes.h"

namespace rocker_reliability {
namespace {

using velk::joystick_sim::JoystickMap;
using velk::joystick_sim::ManglingTcpProxy;
using velk::joystick_sim::ReplyMangling;
using velk::joystick_sim::TcpSlave;

// The registry's response time-out.
constexpr auto kResponseTimeout = 1000ms;
constexpr auto kReconnectBound = 1500ms;
const char* const kConnected = "Connected to Modbus Slave";

class TcpFaultTest : public FaultTestFixture {
 protected:
  void startJogging() { FaultTestFixture::startJogging(joystick_.deviceInfo(), joystick_); }

  int connections() { return rig_.log().countContaining(kConnected); }

  TcpSlave joystick_;
};

TEST_F(TcpFaultTest, ConnectionDroppedDuringAJogStopsItAndReconnectsWithNothingLost) {
  ASSERT_NO_FATAL_FAILURE(startJogging());
  const int jogs = rig_.speedCommands();
  const int connected_before = connections();

  const auto dropped = Clock::now();
  joystick_.dropClients();
  expectStopWithin(dropped, kLossBound, "stop after a dropped TCP connection");
  // While the joystick is away the robot's program stops: the indicator
  // must show that once the joystick is back, although the change came
  // while nothing could be written.
  rig_.robot().setRuntimeStatus(velk::sim::kRuntimeStopped);

  ASSERT_TRUE(waitFor([&] { return connections() > connected_before; }, 3000ms));
  const auto reconnect = Clock::now() - dropped;
  report("reconnect after a dropped TCP connection", reconnect);
  EXPECT_LE(reconnect, scaled(Clock::duration(kReconnectBound)));
  EXPECT_TRUE(waitFor(
      [&] { return joystick_.holdingRegister(JoystickMap::kIndicatorRegister) == 2; }, 2000ms))
      << "indicator " << joystick_.holdingRegister(JoystickMap::kIndicatorRegister) << "\n"
      << rig_.logSince(mark_);

  // The stick is still deflected: without a new push nothing moves.
  rig_.robot().setRuntimeStatus(velk::sim::kRuntimeIdle);
  std::this_thread::sleep_for(scaled(700ms));
  EXPECT_EQ(rig_.speedCommands(), jogs);
  EXPECT_EQ(rig_.countSince(mark_, kReadError), 1);
  EXPECT_EQ(rig_.countSince(mark_, kReadBack), 1);
  expectNoFlood();
}

// A railed or broken axis reads full scale: no push, never a jog.
TEST_F(TcpFaultTest, RailedAxisNeverStartsAJog) {
  rig_.start(joystick_.deviceInfo());
  ASSERT_TRUE(rig_.switchJoggingOn(joystick_)) << rig_.logSince(0);
  const std::size_t mark = rig_.logMark();
  const int reads = joystick_.requestCount(MODBUS_FC_READ_INPUT_REGISTERS);
  joystick_.setInputRegister(JoystickMap::kFirstAxisRegister, 32767);
  ASSERT_TRUE(joystick_.waitForRequests(MODBUS_FC_READ_INPUT_REGISTERS, reads + 5, 5000ms));
  EXPECT_EQ(rig_.speedCommands(), 0);
  EXPECT_EQ(rig_.countSince(mark,
                            "Rocker implausible stick value: get_x is 32767, beyond stick_limit "
                            "2000: no jog until the stick is seen centred"),
            1);
}

// Six-axis jogging through the loaded bundle: a twist of rz turns the tool
// about z until the release, and one stop ends the turn.
TEST_F(TcpFaultTest, SixAxisTwistTurnsTheToolUntilTheRelease) {
  rig_.start(joystick_.deviceInfo(), "jog_axes = 6\nori_velc = 0.3\n");
  ASSERT_TRUE(rig_.switchJoggingOn(joystick_)) << rig_.logSince(0);
  const int reads = joystick_.requestCount(MODBUS_FC_READ_INPUT_REGISTERS);
  ASSERT_TRUE(joystick_.waitForRequests(MODBUS_FC_READ_INPUT_REGISTERS, reads + 2, 5000ms));
  joystick_.setInputRegister(JoystickMap::kFirstAxisRegister + 5, 500);  // rz
  ASSERT_TRUE(waitFor([&] { return rig_.speedCommands() == 1; }, 5000ms)) << rig_.logSince(0);
  const auto args = rig_.robot().callsNamed("speedLine").at(0).args;
  EXPECT_EQ((std::vector<double>(args.begin(), args.begin() + 5)),
            (std::vector<double>{0, 0, 0, 0, 0}));
  EXPECT_NEAR(args[5], 0.15, 1e-9) << "0.5 of full deflection at ori_velc 0.3 rad/s";
  const double yaw = rig_.robot().toolPose()[5];
  rig_.robot().advance(1.0);
  EXPECT_GT(rig_.robot().toolPose()[5], yaw + 0.1) << "the tool turned about z";
  joystick_.setInputRegister(JoystickMap::kFirstAxisRegister + 5, 0);
  ASSERT_TRUE(waitFor([&] { return rig_.stopCommands() == 1; }, 5000ms));
  rig_.robot().advance(1.0);
  EXPECT_TRUE(rig_.robot().steady());
  const double stopped_at = rig_.robot().toolPose()[5];
  rig_.robot().advance(1.0);
  EXPECT_EQ(rig_.robot().toolPose()[5], stopped_at) << "and stopped turning";
  EXPECT_EQ(rig_.speedCommands(), 1);
}

// A knock (or a dropped joystick) reads x = 800 in exactly one read, 0
// before and after: with about ten cycles per read, the cycles after it
// must not take it for a steady push. The knock is placed between reads by
// the slave's request log: set well after one read was answered, reset
// well after the next, before the one after that. An attempt the test
// thread was too late for is tried again.
TEST_F(TcpFaultTest, AKnockOfOneReadNeverStartsAJog) {
  rig_.start(joystick_.deviceInfo());
  ASSERT_TRUE(rig_.switchJoggingOn(joystick_)) << rig_.logSince(0);
  // At the default stick rate the axes come in the one input register read
  // of each pass.
  const auto axisReads = [&] { return joystick_.requestCount(MODBUS_FC_READ_INPUT_REGISTERS); };

  const auto awaitAxisRead = [&](int total) {
    return waitFor([&] { return axisReads() >= total; }, 5000ms);
  };
  // Well inside the 100 ms between two reads: the read just logged has
  // been answered, the next one is not due yet.
  constexpr auto kMargin = 30ms;
  int knocks = 0;
  for (int attempt = 0; attempt < 5 && knocks < 2; ++attempt) {
    ASSERT_TRUE(awaitAxisRead(axisReads() + 3));  // centred, and read so
    const int starts = rig_.speedCommands();
    const int before = axisReads();
    ASSERT_TRUE(awaitAxisRead(before + 1));
    const int read = axisReads();
    std::this_thread::sleep_for(kMargin);
    joystick_.setInputRegister(JoystickMap::kFirstAxisRegister, 800);
    const bool set_between = axisReads() == read;
    ASSERT_TRUE(awaitAxisRead(read + 1));
    std::this_thread::sleep_for(kMargin);
    joystick_.setInputRegister(JoystickMap::kFirstAxisRegister, 0);
    const bool reset_between = axisReads() == read + 1;
    ASSERT_TRUE(awaitAxisRead(read + 6));
    if (!set_between || !reset_between) continue;  // maybe two reads: no knock
    ++knocks;
    EXPECT_EQ(rig_.speedCommands(), starts) << rig_.logSince(0);
  }
  EXPECT_GE(knocks, 1) << "no attempt placed the knock in one read";
}

// stick_rate reads the six axes, in one request, that often; everything
// else stays at 10 Hz.
TEST_F(TcpFaultTest, StickRateReadsTheAxesFasterThanTheRest) {
  rig_.start(joystick_.deviceInfo(), "stick_rate = 50\ninput_timeout = 0.08\n");
  ASSERT_TRUE(rig_.switchJoggingOn(joystick_)) << rig_.logSince(0);
  joystick_.clearLog();
  const auto began = Clock::now();
  std::this_thread::sleep_for(1s);
  const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
  const double axes =
      joystick_.requestCount(MODBUS_FC_READ_INPUT_REGISTERS, JoystickMap::kFirstAxisRegister, 6) /
      seconds;
  const double coils = joystick_.requestCount(MODBUS_FC_READ_COILS) / seconds;
  EXPECT_GT(axes, 25.0);
  EXPECT_LT(axes, 60.0);
  EXPECT_GT(coils, 4.0);
  EXPECT_LT(coils, 15.0);
  ASSERT_TRUE(rig_.startJog(joystick_)) << "and a jog starts on the faster stick";
}

TEST_F(TcpFaultTest, ConnectionDroppedAtRestNeverMovesTheRobot) {
  rig_.start(joystick_.deviceInfo());
  ASSERT_TRUE(rig_.switchJoggingOn(joystick_)) << rig_.logSince(0);
  const std::size_t mark = rig_.logMark();
  const auto marked = Clock::now();
  const int connected_before = connections();

  joystick_.dropClients();
  ASSERT_TRUE(waitFor([&] { return connections() > connected_before; }, 3000ms));
  std::this_thread::sleep_for(scaled(500ms));
  EXPECT_EQ(rig_.speedCommands(), 0);
  EXPECT_EQ(rig_.stopCommands(), 0);
  EXPECT_EQ(rig_.countSince(mark, kReadError), 1);
  expectNoFlood(mark, marked);
}

TEST_F(TcpFaultTest, SilentSlaveStopsTheJogOnceItsValuesAreOlderThanTheInputTimeout) {
  ASSERT_NO_FATAL_FAILURE(startJogging());
  const auto silenced = Clock::now();
  joystick_.setSilent(true);
  expectStopWithin(silenced, kInputTimeout + kAgeCheckSlack, "stop after the slave fell silent");
  std::this_thread::sleep_for(scaled(2000ms));
  EXPECT_EQ(rig_.countSince(mark_, kReadError), 1);
  expectNoFlood();

  joystick_.setSilent(false);
  EXPECT_TRUE(waitFor([&] { return rig_.countSince(mark_, kReadBack) == 1; }, 20000ms))
      << rig_.logSince(mark_);
}

// The host stops and releases the bundle while the joystick does not
// answer: its thread waits for the poll pass in progress, which must not
// take much longer than one response time-out.
TEST_F(TcpFaultTest, ReleasingTheBundleWhileTheSlaveIsSilentReturnsInBoundedTime) {
  ASSERT_NO_FATAL_FAILURE(startJogging());
  joystick_.setSilent(true);
  ASSERT_TRUE(rig_.stopLatencySince(Clock::now()).has_value());
  // The first read runs into its time-out; then let the retry pass begin
  // its probes of all the signals now in error.
  ASSERT_TRUE(waitFor([&] { return rig_.countSince(mark_, kReadError) == 1; }, 4000ms));
  std::this_thread::sleep_for(500ms);
  const auto stop = rig_.bundle().stop();
  const auto release = rig_.bundle().release();
  report("stop() with a silent slave", stop);
  report("release with a silent slave", release);
  EXPECT_LE(stop, scaled(Clock::duration(500ms)));
  EXPECT_LE(release, scaled(Clock::duration(kResponseTimeout + 1000ms)));
}

// A joystick that serves only its documented coils (0 to 3, 16 and 17) and
// refuses the rest with illegal data address: the bundle reads the runs it
// serves, says so once, and jogs; its firmware gets recorded.
TEST_F(TcpFaultTest, AJoystickServingOnlyItsDocumentedCoilsJogs) {
  for (int coil = 4; coil <= 15; ++coil) joystick_.rejectAddress(coil, 2, 1);
  joystick_.setInputRegister(JoystickMap::kFirmwareRegister, JoystickMap::kFirmwareWord);
  startJogging();
  if (HasFatalFailure()) return;
  const auto released = Clock::now();
  joystick_.setInputRegister(JoystickMap::kFirstAxisRegister, 0);
  EXPECT_TRUE(rig_.stopLatencySince(released).has_value()) << rig_.logSince(0);
  EXPECT_EQ(rig_.countSince(0, "refuses coils 0 to 17 in one request"), 1) << rig_.logSince(0);
  EXPECT_TRUE(waitFor(
      [&] { return rig_.home().packageContent().value_or("").find("1.1.3") != std::string::npos; },
      2000ms));
  expectNoFlood();
}

// A joystick set to another slave number never answers: the log names it
// once, nothing moves, and the host's stop and release wait for no more
// than one response time-out and a pass.
TEST_F(TcpFaultTest, AJoystickSetToAnotherSlaveNumberIsNamedAndHoldsNothingUp) {
  TcpSlave other(3);
  other.setSilentToOtherUnits(true);
  rig_.start(other.deviceInfo());
  const std::string silent = "Modbus slave 2 at " + other.deviceName() +
                             " does not answer (no reply within 1000 ms): check its slave "
                             "number, baud rate and wiring";
  ASSERT_TRUE(waitFor([&] { return rig_.countSince(0, silent) == 1; }, 8000ms)) << rig_.logSince(0);
  const auto stop = rig_.bundle().stop();
  const auto release = rig_.bundle().release();
  EXPECT_LE(stop, scaled(Clock::duration(500ms)));
  EXPECT_LE(release, scaled(Clock::duration(kResponseTimeout + 1000ms)));
  EXPECT_EQ(rig_.speedCommands(), 0);
  EXPECT_EQ(rig_.countSince(0, silent), 1);
}

TEST_F(TcpFaultTest, SlaveRestartReconnectsAndTheLightsShowTheRobotStateAgain) {
  ASSERT_NO_FATAL_FAILURE(startJogging());
  const int connected_before = connections();

  const auto down = Clock::now();
  joystick_.stopListening();
  joystick_.dropClients();
  expectStopWithin(down, kLossBound, "stop after the slave went down");
  // The restarted joystick comes back with its lights dark, and meanwhile
  // the robot's program has stopped.
  joystick_.setHoldingRegister(JoystickMap::kIndicatorRegister, 0);
  rig_.robot().setRuntimeStatus(velk::sim::kRuntimeStopped);
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(joystick_.startListening());
  const auto back = Clock::now();

  ASSERT_TRUE(waitFor([&] { return connections() > connected_before; }, 3000ms))
      << rig_.logSince(mark_);
  report("reconnect after the slave came back", Clock::now() - back);
  EXPECT_LE(Clock::now() - back, scaled(Clock::duration(kReconnectBound)));
  EXPECT_TRUE(waitFor(
      [&] { return joystick_.holdingRegister(JoystickMap::kIndicatorRegister) == 2; }, 2000ms))
      << rig_.logSince(mark_);
  EXPECT_EQ(rig_.countSince(mark_, kReadError), 1);
  expectNoFlood();
}

TEST_F(TcpFaultTest, ExceptionOnOneAddressOfABatchStopsTheJogAndIsReportedOnce) {
  ASSERT_NO_FATAL_FAILURE(startJogging());
  const auto rejected = Clock::now();
  // The indicator's read-back register sits inside the batch of the axes.
  joystick_.rejectAddress(JoystickMap::kIndicatorReadBack, 2, 4);
  expectStopWithin(rejected, kLossBound, "stop after an exception inside the axis batch");
  std::this_thread::sleep_for(scaled(2000ms));
  EXPECT_EQ(rig_.countSince(mark_, kReadError), 1);
  expectNoFlood();

  joystick_.rejectAddress(JoystickMap::kIndicatorReadBack, 0, 4);
  EXPECT_TRUE(waitFor([&] { return rig_.countSince(mark_, kReadBack) == 1; }, 2000ms))
      << rig_.logSince(mark_);
}

// A slave that answers, only slowly (below the time-out): each request
// takes 80 ms, and while a light change is being written every pass carries
// a write, so a group is read about once a second and the stick values are
// older than the default input_timeout between two reads: such a slave
// cannot hold a jog (docs/reliability.md). With an input_timeout longer than
// that it jogs, the release seen late but seen, and nothing moves on its own.
TEST_F(TcpFaultTest, SlowSlaveJogsWithAnInputTimeoutLongEnough) {
  rig_.start(joystick_.deviceInfo(), "input_timeout = 1.0\n");
  ASSERT_TRUE(rig_.switchJoggingOn(joystick_)) << rig_.logSince(0);
  joystick_.setReplyDelay(80ms);
  const std::size_t mark = rig_.logMark();
  ASSERT_TRUE(rig_.startJog(joystick_)) << rig_.logSince(mark);
  const auto released = Clock::now();
  joystick_.setInputRegister(JoystickMap::kFirstAxisRegister, 0);
  const auto latency = rig_.stopLatencySince(released);
  ASSERT_TRUE(latency.has_value()) << rig_.logSince(mark);
  report("stop after a release, slave answering in 80 ms", *latency);
  EXPECT_EQ(rig_.speedCommands(), 1);
  EXPECT_EQ(rig_.countSince(mark, kReadError), 0);
}

// The host ends a jog's conditions: freedrive, a second start, stop(). Each
// time the jog stops at once, with one stop command, and none after.
TEST_F(TcpFaultTest, FreedriveRestartAndStopEachEndTheJogOnce) {
  ASSERT_NO_FATAL_FAILURE(startJogging());
  const auto freed = Clock::now();
  rig_.robot().setFreedriveEnabled(true);
  expectStopWithin(freed, kLossBound, "stop after freedrive came on");
  rig_.robot().setFreedriveEnabled(false);

  ASSERT_TRUE(rig_.startJog(joystick_)) << rig_.logSince(0);
  // The first start's thread, and with it its rocker service, goes.
  rig_.bundle().start(rig_.robot().api(), rig_.log().callback(),
                      "cycle = 0.01\ndevice_info = \"" + joystick_.deviceInfo() + "\"\n");
  EXPECT_EQ(rig_.stopCommands(), 2);

  ASSERT_TRUE(rig_.switchJoggingOn(joystick_)) << rig_.logSince(0);
  ASSERT_TRUE(rig_.startJog(joystick_)) << rig_.logSince(0);
  rig_.bundle().stop();
  EXPECT_EQ(rig_.stopCommands(), 3);
  rig_.bundle().release();
  EXPECT_EQ(rig_.stopCommands(), 3);
  EXPECT_EQ(rig_.speedCommands(), 3);
}

// The robot leaves mode 8 and comes back: the bundle powers the joystick
// anew, which comes up with its lights off, and jogging is off as well. A
// push moves nothing until the power button is pressed again.
TEST_F(TcpFaultTest, ARepoweredJoystickStartsWithJoggingOff) {
  ASSERT_NO_FATAL_FAILURE(startJogging());
  const auto left = Clock::now();
  rig_.robot().setRobotModeType(5);
  expectStopWithin(left, kLossBound, "stop after the robot left mode 8");
  rig_.robot().setRobotModeType(velk::sim::kRobotModeRunning);
  ASSERT_TRUE(waitFor([&] { return rig_.countSince(mark_, "Rocker power on") == 1; }, 3000ms));
  EXPECT_TRUE(waitFor([&] { return !joystick_.coil(JoystickMap::kPowerLightCoil); }, 3000ms));
  const int jogs = rig_.speedCommands();
  EXPECT_FALSE(rig_.startJog(joystick_)) << "no jog while jogging is off";
  EXPECT_EQ(rig_.speedCommands(), jogs);
  ASSERT_TRUE(rig_.switchJoggingOn(joystick_)) << rig_.logSince(mark_);
  EXPECT_TRUE(rig_.startJog(joystick_)) << rig_.logSince(mark_);
}

// A reply that arrives after its time-out stays in the socket. Once the
// slave is quick again every later transaction must be sound again, instead
// of each reading the answer to the one before.
TEST_F(TcpFaultTest, ReplyAfterItsTimeOutDoesNotShiftLaterTransactions) {
  rig_.start(joystick_.deviceInfo());
  ASSERT_TRUE(rig_.switchJoggingOn(joystick_)) << rig_.logSince(0);
  const std::size_t mark = rig_.logMark();
  joystick_.setReplyDelay(kResponseTimeout + 300ms);
  ASSERT_TRUE(waitFor([&] { return rig_.countSince(mark, kReadError) == 1; }, 4000ms));
  joystick_.setReplyDelay(0ms);

  EXPECT_TRUE(waitFor([&] { return rig_.countSince(mark, kReadBack) == 1; }, 5000ms))
      << "the joystick never reads sound again after one late reply\n"
      << rig_.logSince(mark);
  // And the values are the joystick's: a push jogs.
  EXPECT_TRUE(rig_.startJog(joystick_)) << rig_.logSince(mark);
}

class ManglingTcpFaultTest : public TcpFaultTest {
 protected:
  void startJoggingThroughProxy() {
    FaultTestFixture::startJogging("127.0.0.1," + std::to_string(proxy_.port()), joystick_);
  }

  ManglingTcpProxy proxy_{joystick_.port()};
};

// A reply one byte shorter than its header says: the master waits for the
// byte that never comes.
TEST_F(ManglingTcpFaultTest, ShortRepliesStopTheJogAndTheLinkRecovers) {
  ASSERT_NO_FATAL_FAILURE(startJoggingThroughProxy());
  const auto damaged = Clock::now();
  proxy_.mangling().set(ReplyMangling::dropLastBytes(1));
  expectStopWithin(damaged, kResponseTimeout + kLossBound, "stop after short replies");
  std::this_thread::sleep_for(scaled(1000ms));
  expectNoFlood();
  proxy_.mangling().clear();
  EXPECT_TRUE(waitFor([&] { return rig_.countSince(mark_, kReadBack) == 1; }, 5000ms))
      << rig_.logSince(mark_);
}

// Two bytes after every reply that nobody asked for. They spoil the exchange
// after the one they follow; that exchange is tried again once the stray
// bytes are drained and then reads whole, so the values keep coming and the
// jog goes on, at the cost of a second request per read.
TEST_F(ManglingTcpFaultTest, OverlongRepliesCostASecondRequestAndTheJogGoesOn) {
  ASSERT_NO_FATAL_FAILURE(startJoggingThroughProxy());
  const int stops = rig_.stopCommands();
  proxy_.mangling().set(ReplyMangling::appendBytes({0x00, 0x00}));
  std::this_thread::sleep_for(scaled(1000ms));
  EXPECT_GT(proxy_.mangling().mangledChunks(), 5);
  EXPECT_EQ(rig_.stopCommands(), stops) << rig_.logSince(mark_);
  EXPECT_EQ(rig_.countSince(mark_, kReadError), 0) << rig_.logSince(mark_);
  expectNoFlood();
}

}  // namespace
}  // namespace rocker_reliability
