// Long runs of a host loading, starting, stopping and releasing the bundle
// in one process, with the joystick present and absent: nothing may be left
// behind (threads, descriptors, serial lines, memory), and every round's
// shutdown must stay within its time.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <thread>

#include "host_rig/bundle_host.h"
#include "host_rig/rig_timing.h"
#include "joystick_sim/pty_pair.h"
#include "joystick_sim/rtu_slave.h"
#include "joystick_sim/tcp_slave.h"
#include "reliability/process_usage.h"
#include "robot_sim/simulated_robot.h"
#include "support/log_capture.h"

namespace rocker_reliability {

using velk::host_rig::BundleHost;
using namespace velk::host_rig::timing;
namespace {

// Sanitizer builds run the same rounds, fewer of them.
constexpr int kRounds = kSanitized ? 20 : 100;
// Every so many rounds the round waits for the joystick's connection (its
// first attempt comes about a second after start), so shutdowns with an
// open connection are among those timed.
constexpr int kConnectedEvery = 10;
// stop() halts the task thread within a period; releasing the bundle waits
// for the poll pass in progress, a few milliseconds of I/O and 10 ms sleep.
constexpr auto kStopBound = 200ms;
constexpr auto kReleaseBound = 300ms;
constexpr long kMemoryGrowthKib = 16 * 1024;

struct Shutdowns {
  Clock::duration slowest_stop{};
  Clock::duration slowest_release{};
  int connected_rounds = 0;
};

class LifecycleTest : public ::testing::Test {
 protected:
  void round(const std::string& device_info, bool wait_for_connection, Shutdowns& shutdowns) {
    velk::test::LogCapture log;
    BundleHost rocker(ROCKER_BUNDLE_PATH);
    rocker.start(robot_.api(), log.callback(), "device_info = \"" + device_info + "\"\n");
    if (wait_for_connection) {
      ASSERT_TRUE(
          waitFor([&] { return log.countContaining("Connected to Modbus Slave") > 0; }, 3000ms));
      ++shutdowns.connected_rounds;
    } else {
      std::this_thread::sleep_for(30ms);
    }
    const auto stop = rocker.stop();
    const auto release = rocker.release();
    EXPECT_LE(stop, scaled(Clock::duration(kStopBound)));
    EXPECT_LE(release, scaled(Clock::duration(kReleaseBound)));
    shutdowns.slowest_stop = std::max(shutdowns.slowest_stop, stop);
    shutdowns.slowest_release = std::max(shutdowns.slowest_release, release);
  }

  void runRounds(const std::string& name, const std::string& device_info, bool present) {
    Shutdowns warm_up;
    round(device_info, false, warm_up);  // first-use allocations of the libraries
    const ProcessUsage before = settledUsage(0);
    Shutdowns shutdowns;
    const auto begin = Clock::now();
    for (int i = 0; i < kRounds && !HasFatalFailure(); ++i) {
      round(device_info, present && i % kConnectedEvery == 0, shutdowns);
    }
    const ProcessUsage after = settledUsage(before.threads);
    std::cout << "[figure] " << name << ": " << kRounds << " rounds in "
              << millisecondsOf(Clock::now() - begin) << " ms, slowest stop "
              << millisecondsOf(shutdowns.slowest_stop) << " ms, slowest release "
              << millisecondsOf(shutdowns.slowest_release) << " ms, " << shutdowns.connected_rounds
              << " rounds connected\n[figure] before: " << before.describe()
              << "\n[figure] after:  " << after.describe() << std::endl;
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.file_descriptors, before.file_descriptors);
    EXPECT_EQ(after.pseudo_terminals, before.pseudo_terminals);
    if (!kSanitized) {
      EXPECT_LE(after.resident_kib - before.resident_kib, kMemoryGrowthKib);
    }
  }

  // A joined thread may linger in /proc for a moment.
  static ProcessUsage settledUsage(int threads) {
    ProcessUsage usage = ProcessUsage::now();
    if (threads > 0) {
      waitFor([&] { return (usage = ProcessUsage::now()).threads <= threads; }, 2000ms);
    }
    return usage;
  }

  velk::sim::SimulatedRobot robot_;
};

TEST_F(LifecycleTest, TcpJoystickPresentLeavesNothingBehind) {
  velk::joystick_sim::TcpSlave joystick(2, std::chrono::seconds(300));
  runRounds("TCP joystick present", "127.0.0.1," + std::to_string(joystick.port()), true);
}

TEST_F(LifecycleTest, JoystickAbsentLeavesNothingBehind) {
  // A loopback port nobody listens on: every connection attempt is refused.
  int free_port = 0;
  {
    velk::joystick_sim::TcpSlave gone;
    free_port = gone.port();
  }
  runRounds("TCP joystick absent", "127.0.0.1," + std::to_string(free_port), false);
}

TEST_F(LifecycleTest, SerialJoystickPresentLeavesNoSerialLineOpen) {
  velk::joystick_sim::PtyPair line;
  velk::joystick_sim::RtuSlave joystick(line.slavePath(), 2, 115200, std::chrono::seconds(300));
  runRounds("RTU joystick present", line.deviceInfo(), true);
}

}  // namespace
}  // namespace rocker_reliability
