#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "communication/modbus_dev/fastest_first_pass.h"
#include "communication/modbus_dev/modbus_device.h"
#include "host/kelmi/periodic_thread.h"
#include "host_rig/rig_timing.h"
#include "joystick_sim/joystick_map.h"
#include "modbus_dev/device_test_kit.h"

namespace velk::zorv_control {
namespace {

using testkit::makeSignal;
using testkit::pollPass;
using testkit::pollPasses;
using namespace velk::host_rig::timing;
using velk::joystick_sim::JoystickMap;

// The joystick's signals attached as the registry attaches them, polled in
// passes of the nominal 10 ms: 100 passes are one second.
class JoystickPolling : public ::testing::Test, public testkit::ScriptedDevice {
 protected:
  void SetUp() override {
    for (int address = 256; address <= 264; ++address) {
      link.set(AddressType::InputRegister, address, static_cast<uint16_t>(address - 200));
    }
    link.set(AddressType::Coil, 1, 1);
    // Not yet read, so kept out of the groups until probed.
    for (const JoystickMap::Signal& row : JoystickMap::kSignals) {
      signals[row.name] = attach(row.name, row.type, row.address, ModbusSignal::kNotYetRead);
    }
  }

  ModbusSignal& signal(const std::string& name) { return *signals.at(name); }

  std::map<std::string, std::unique_ptr<ModbusSignal>> signals;
};

TEST_F(JoystickPolling, OneSecondProbesOnceThenReadsThreeGroupsAtTenHertz) {
  signal("set_indicator_light").setOutput(3);
  pollPasses(device, 9);
  EXPECT_EQ(link.requestCount(), 0);
  pollPass(device);  // the retry countdown of 0.1 s runs out: one probe each
  EXPECT_EQ(signal("get_x").error_state, 0);
  EXPECT_EQ(signal("get_x").value, 0);  // a probe does not store what it read
  pollPasses(device, 90);

  for (const JoystickMap::Signal& row : JoystickMap::kSignals) {
    EXPECT_EQ(signal(row.name).error_state, 0) << row.name;
    // The indicator's group is one register: its reads look like its probe.
    if (row.type == AddressType::HoldingRegister) continue;
    const int function = row.type == AddressType::Coil ? 1 : 4;
    EXPECT_EQ(link.requestCount(function, row.address, 1), 1) << row.name;
  }
  // The probes of pass 10 form the groups; each is read on passes 19, 29 .. 99.
  for (auto [function, start, count] : {std::tuple{1, 0, 18}, {4, 256, 9}, {3, 512, 1}}) {
    EXPECT_EQ(link.requestCount(function, start, count), 9 + (function == 3)) << function;
  }
  // Written once after its probe; the group read of pass 19 confirms it.
  EXPECT_EQ(link.requestCount(6, 512, 3), 1);
  EXPECT_FALSE(signal("set_indicator_light").outputPending());
  EXPECT_EQ(signal("get_x").value, 56);
  EXPECT_EQ(signal("get_hardware_version").value, 64);
  EXPECT_EQ(signal("get_button_1").value, 1);

  // At rest the three groups make 30 requests a second, and nothing else.
  link.clearLog();
  pollPasses(device, 100);
  EXPECT_EQ(link.requestCount(), 30);
}

// A slave that does not answer (another slave number, baud rate, no power)
// costs one response time-out per pass: the probes stop at the first one.
// It is reported once when it goes quiet and once when it answers again; a
// single lost reply costs its time-out and no more, and says nothing.
TEST_F(JoystickPolling, SilentSlaveCostsOneTimeOutPerPassAndIsReportedOncePerChange) {
  timedPasses(std::chrono::seconds(1));
  link.setSilent(true);
  link.clearLog();
  const int passes = timedPasses(std::chrono::seconds(5));
  EXPECT_LE(link.requestCount(), passes);
  EXPECT_GE(link.requestCount(), 20);  // 200 ms each
  EXPECT_EQ(log.countContaining("Modbus slave 2 at /dev/ttyUSB0 does not answer (no reply within "
                                "200 ms): check its slave number, baud rate and wiring"),
            1);
  link.setSilent(false);
  timedPasses(std::chrono::seconds(1));
  EXPECT_EQ(log.countContaining("Modbus slave 2 at /dev/ttyUSB0 answers again"), 1);
  for (const JoystickMap::Signal& row : JoystickMap::kSignals) EXPECT_EQ(signal(row.name).error_state, 0) << row.name;

  link.loseReplies(1);
  link.clearLog();
  const auto lost_at = clock.now();
  timedPasses(std::chrono::milliseconds(500));
  EXPECT_EQ(log.countContaining("does not answer"), 1);
  for (const JoystickMap::Signal& row : JoystickMap::kSignals) {
    EXPECT_EQ(signal(row.name).error_state, 0) << row.name;
    EXPECT_GT(signal(row.name).lastRead(), lost_at + std::chrono::milliseconds(250)) << row.name;
  }
}

// A USB serial adapter holds each reply up to its latency timer: 20 ms a
// request. At 10 Hz the groups still come every 100 ms, from fixed due
// times. With the axes at 50 Hz the line cannot carry it all: the axes come
// first, the others keep their 10 Hz, and one Warning says what a request
// takes and what the axes get.
TEST_F(JoystickPolling, GroupsKeepFixedDueTimesOnASlowLineAndTheAxesComeFirst) {
  link.useClock(&clock, std::chrono::milliseconds(20));
  timedPasses(std::chrono::seconds(1));
  link.clearLog();
  timedPasses(std::chrono::seconds(2));
  for (auto [function, start, count] : {std::tuple{1, 0, 18}, {4, 256, 9}, {3, 512, 1}}) {
    EXPECT_NEAR(link.requestCount(function, start, count), 20, 1) << start;
  }
  EXPECT_NEAR(device.transactionSeconds(), 0.020, 1e-6);
  EXPECT_NEAR(device.fastestGroupRate(), 10.0, 0.5);
  EXPECT_EQ(log.countContaining("cannot be read as often as asked"), 0);

  for (const char* axis : {"get_x", "get_y", "get_z", "get_rx", "get_ry", "get_rz"}) {
    signal(axis).update_frequency = 50;
  }
  device.refreshSignalsGroup();
  timedPasses(std::chrono::milliseconds(500));
  link.clearLog();
  auto oldest = std::chrono::steady_clock::duration::zero();
  for (const auto end = clock.now() + std::chrono::seconds(2); clock.now() < end;) {
    timedPasses(std::chrono::milliseconds(1));  // one pass, and the wait after it
    oldest = std::max(oldest, clock.now() - signal("get_x").lastRead());
  }
  // Read first in every pass, after at most one slower read.
  EXPECT_LE(oldest, std::chrono::milliseconds(41));
  const int axis_reads = link.requestCount(4, 256, 6);
  // The line carries 50 requests a second: the axes take half of them,
  // the slower groups share the rest, and none of them starves.
  EXPECT_NEAR(axis_reads, 50, 3);
  int slower_reads = 0;
  for (auto [function, start, count] : {std::tuple{1, 0, 18}, {4, 262, 3}, {3, 512, 1}}) {
    EXPECT_GE(link.requestCount(function, start, count), 10) << start;
    slower_reads += link.requestCount(function, start, count);
  }
  EXPECT_GE(slower_reads, 45);
  EXPECT_NEAR(device.fastestGroupRate(), axis_reads / 2.0, 8.0);
  EXPECT_EQ(log.countContaining("cannot be read as often as asked: a request takes 20.0 ms and "
                                "the fastest group (50 Hz) is read at "),
            1);
}

// The registry's side runs in a periodic task (co-aware locks yield there)
// and churns signals while this thread runs poll passes.
TEST_F(JoystickPolling, SignalChurnAndOutputsWhilePassesRun) {
  std::vector<std::unique_ptr<ModbusSignal>> extras;
  for (int i = 0; i < 8; ++i) {
    extras.push_back(makeSignal("extra_" + std::to_string(i), AddressType::HoldingRegister, 600 + i,
                                i % 2 == 0 ? 0 : ModbusSignal::kNotYetRead));
  }
  std::atomic<int> rounds{0};
  std::atomic<long> seen{0};
  kelmi::PeriodicThread registry(2000, "churn", 0, 0, 0);
  registry.addTask(
      "churn",
      [&] {
        const int round = rounds.fetch_add(1);
        ModbusSignal& extra = *extras[static_cast<std::size_t>(round) % extras.size()];
        device.addSignal(&extra);
        extra.setOutput(static_cast<uint16_t>(round));
        signal("set_button_light_1").setOutput(static_cast<uint16_t>(round % 2));
        extra.address = 600 + (round % 16);  // re-addressed, then regrouped
        device.refreshSignalsGroup();
        device.updateSignalFrequency(&extra);
        device.addRawRequest({2, 3, 0, 0, 0, 1});
        seen += extra.value + extra.error_state + device.isConnected() + device.hasSignals() +
                device.hasRawRequests();
        if (round % 3 == 0) device.deleteSignal(extra.name);
      },
      0, 0, true);
  registry.start(0);
  // Passes as the poll thread runs them, until the churn has gone round a
  // good many times.
  EXPECT_TRUE(waitFor(
      [&] {
        pollPass(device);
        return rounds.load() > 50;
      },
      5000ms));
  registry.stop();
  registry.join();
  pollPass(device);  // sends what is left in the queue

  EXPECT_TRUE(device.isConnected());
  EXPECT_FALSE(device.hasRawRequests());
  EXPECT_FALSE(link.rawRequests().empty());
  for (auto& extra : extras) device.deleteSignal(extra->name);
}

// A pass at 50 Hz axes with a slower group: it waits once a slower read
// and a period of the axes are spent, or when the axes, unread, fall due
// before one more request would be over; the axes themselves never wait.
TEST(FastestFirstPass, SlowerGroupsWaitForTheAxes) {
  struct Row {
    const char* what;
    bool axes_read;
    bool slower_read;
    int spent_ms;
    double axes_countdown;
    bool waits;
  };
  const Row rows[] = {
      {"axes read, nothing slower yet", true, false, 30, 0.0, false},
      {"axes read, a slower read within a period", true, true, 10, 0.0, false},
      {"axes read, a slower read and a period spent", true, true, 20, 0.0, true},
      {"axes unread, due after one more request", false, false, 0, 0.015, false},
      {"axes unread, due before one more request is over", false, false, 10, 0.015, true},
  };
  for (const Row& row : rows) {
    auto now = std::chrono::steady_clock::time_point{};
    const FastestFirstPass::Clock clock = [&now] { return now; };
    FastestFirstPass pass(50, clock);
    if (row.axes_read) {
      EXPECT_TRUE(pass.noteRead(50, true)) << row.what;
    }
    if (row.slower_read) {
      EXPECT_FALSE(pass.noteRead(10, true)) << row.what;
    }
    now += std::chrono::milliseconds(row.spent_ms);
    EXPECT_EQ(pass.defersSlower(10, row.axes_countdown, 0.01), row.waits) << row.what;
    EXPECT_FALSE(pass.defersSlower(50, row.axes_countdown, 0.01)) << row.what;
  }
}

}  // namespace
}  // namespace velk::zorv_control
