#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "common/log_level.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "host/kelmi/periodic_thread.h"
#include "joystick_sim/tcp_slave.h"
#include "kelmi/yield_turn.h"
#include "modbus_wrapper/registry_test_kit.h"

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::steady_clock;
using velk::host_rig::timing::waitFor;
using velk::joystick_sim::TcpSlave;
using velk::kelmi::PeriodicThread;
using namespace velk::test;
using velk::zorv_control::ModbusWrapperImpl;

constexpr int kOutputs = 4;
constexpr int kOutputBase = 100;
constexpr int kMoverAddress = 50;

constexpr unsigned int kTaskPeriodUs = 5000;

// Calls `step` once per period inside a periodic task, as the rocker's
// motion task calls the registry, until `keep_going` says no or the limit
// passes. Inside a task the yielding locks give the thread away for a
// whole turn, as on a host.
template <class Step, class KeepGoing>
void runInTask(Step step, KeepGoing keep_going, milliseconds limit) {
  std::atomic<bool> done{false};
  PeriodicThread thread(kTaskPeriodUs, "registry task", 0, -1, 10);
  thread.addTask(
      "step",
      [&] {
        if (done) return;
        step();
        if (!keep_going()) done = true;
      },
      -1, 0, false);
  thread.start(0);
  waitFor([&] { return done.load(); }, limit);
  thread.stop();
  thread.join();
  EXPECT_TRUE(done);
}

// Plays the rocker's periodic task against a registry whose poll thread is
// busy with two live slaves: every changing operation and every query, with
// devices made, emptied and pruned all along.
class PeriodicTaskPlayer {
 public:
  PeriodicTaskPlayer(ModbusWrapperImpl& registry, const std::string& info_a,
                     const std::string& info_b, const std::string& info_c,
                     const std::string& info_d)
      : registry_(registry), info_a_(info_a), info_b_(info_b), info_c_(info_c), info_d_(info_d) {}

  uint16_t lastOutput(int k) const { return last_outputs_[k]; }
  uint16_t lastMover() const { return last_mover_; }
  bool moverOnA() const { return mover_on_a_; }
  int cycles() const { return cycle_; }
  // Whether the signal that alone keeps devices C and D alive exists now.
  bool transientPresent() const { return cycle_ % 4 != 0; }

  void cycle() {
    ++cycle_;
    changeSignals();
    setOutputs();
    query();
  }

 private:
  void changeSignals() {
    const bool odd = (cycle_ % 2) != 0;
    mover_on_a_ = !odd;
    registry_.modbusAddSignal(mover_on_a_ ? info_a_ : info_b_, 2, kMoverAddress, kHoldingRegister,
                              "mover");
    registry_.modbusAddSignal(odd ? info_a_ : info_b_, 2, odd ? 60 : 61, kCoil, "replaced");
    registry_.modbusAddSignal(info_a_, 2, odd ? 70 : 71, kHoldingRegister, "in_place");
    registry_.modbusSetSignalUpdateFrequency("in_place", odd ? 20 : 10);
    // Devices C and D live only as long as this signal, their last one:
    // created on C, moved to D, re-addressed there and removed, so each
    // device is emptied and pruned over and over while the poll thread
    // reads it.
    const int phase = cycle_ % 4;
    if (phase == 0) {
      registry_.modbusDeleteSignal("transient");
    } else {
      registry_.modbusAddSignal(phase == 1 ? info_c_ : info_d_, 2, phase == 3 ? 2 : 1, kCoil,
                                "transient");
    }
    if (cycle_ % 10 == 0) registry_.modbusSendCustomCommand(info_b_, 2, 3, {0, 1, 0, 1});
    if (cycle_ % 50 == 0) registry_.modbusSendCustomCommand(info_c_, 2, 3, {0, 1, 0, 1});
  }

  void setOutputs() {
    for (int k = 0; k < kOutputs; ++k) {
      last_outputs_[k] = static_cast<uint16_t>(cycle_ * kOutputs + k);
      registry_.modbusSetOutputSignal("out" + std::to_string(k), last_outputs_[k]);
    }
    last_mover_ = static_cast<uint16_t>(cycle_);
    registry_.modbusSetOutputSignal("mover", last_mover_);
  }

  void query() {
    const auto names = registry_.modbusGetSignalNames();
    const auto values = registry_.modbusGetSignalValues();
    const auto errors = registry_.modbusGetSignalErrors();
    const auto types = registry_.modbusGetSignalTypes();
    EXPECT_EQ(names.size(), values.size());
    EXPECT_EQ(errors.size(), types.size());
    registry_.modbusGetSignalStatus("out0");
  }

  ModbusWrapperImpl& registry_;
  std::string info_a_;
  std::string info_b_;
  std::string info_c_;
  std::string info_d_;
  int cycle_ = 0;
  uint16_t last_outputs_[kOutputs] = {};
  uint16_t last_mover_ = 0;
  bool mover_on_a_ = true;
};

using RegistryConcurrency = RegistryTest;

TEST_F(RegistryConcurrency, TaskChurnWhilePollThreadTalksToLiveSlaves) {
  TcpSlave slave_a;
  TcpSlave slave_b;
  TcpSlave slave_c;
  TcpSlave slave_d;
  // Slow enough that a read is often in flight when the task empties C or D.
  slave_c.setReplyDelay(milliseconds(4));
  slave_d.setReplyDelay(milliseconds(4));
  for (int k = 0; k < kOutputs; ++k) {
    registry.modbusAddSignal(slave_a.deviceInfo(), 2, kOutputBase + k, kHoldingRegister,
                             "out" + std::to_string(k));
  }
  registry.modbusAddSignal(slave_b.deviceInfo(), 2, 0, kHoldingRegister, "anchor_b");
  // Churn while both devices really read and write.
  ASSERT_TRUE(waitFor(
      [&] {
        return snapshotError(registry, "out0") == 0 && snapshotError(registry, "anchor_b") == 0;
      },
      milliseconds(10000)));

  PeriodicTaskPlayer player(registry, slave_a.deviceInfo(), slave_b.deviceInfo(),
                            slave_c.deviceInfo(), slave_d.deviceInfo());
  // A host thread querying at the same time.
  std::atomic<bool> task_done{false};
  std::thread host([&] {
    while (!task_done) {
      registry.modbusGetSignalValues();
      std::this_thread::sleep_for(milliseconds(2));
    }
  });
  const auto end = steady_clock::now() + milliseconds(1500);
  runInTask([&] { player.cycle(); }, [&] { return steady_clock::now() < end; },
            milliseconds(20000));
  task_done = true;
  host.join();
  EXPECT_GT(player.cycles(), 10);
  EXPECT_GT(log.countContaining("has no signals anymore"), 0);

  // The last value set for each output reaches its slave.
  TcpSlave& mover_slave = player.moverOnA() ? slave_a : slave_b;
  EXPECT_TRUE(waitFor(
      [&] {
        for (int k = 0; k < kOutputs; ++k) {
          if (slave_a.holdingRegister(kOutputBase + k) != player.lastOutput(k)) return false;
        }
        return mover_slave.holdingRegister(kMoverAddress) == player.lastMover();
      },
      milliseconds(5000)));
  const auto names = registry.modbusGetSignalNames();
  EXPECT_EQ(names.size(), player.transientPresent() ? 9u : 8u);
}

// The last signal of a device leaves it from inside a task while a group
// read is in flight against a slow slave. The device's regroup waits for
// the group lock and gives the task's turn away; meanwhile the read ends
// and the next pass finds the device empty. It must not be released while
// the task is still inside it, and must be released once the task is done.
class LastSignalLeavesADevice : public RegistryTest {
 protected:
  static constexpr int kAddress = 10;
  static constexpr milliseconds kReplyDelay{100};
  // Longer than the read in flight plus a pass's sleep: the next pass runs
  // while the task is away.
  static constexpr microseconds kYieldTurn{150000};

  void SetUp() override {
    slow.setHoldingRegister(kAddress, 111);
    slow.setHoldingRegister(kAddress + 1, 222);
    fast.setHoldingRegister(kAddress, 333);
    registry.modbusAddSignal(slow.deviceInfo(), 2, kAddress, kHoldingRegister, "only");
    ASSERT_TRUE(valueBecomes("only", 111));
    slow.setReplyDelay(kReplyDelay);
    slow.clearLog();
    // A request has just reached the slave: its reply is 100 ms away, and
    // the poll thread holds the device's group lock until then.
    ASSERT_TRUE(slow.waitForRequests(1, milliseconds(5000)));
  }

  void TearDown() override { velk::kelmi::setYieldTurn(microseconds(0)); }

  // Runs `operation` once inside a task whose yields last kYieldTurn; it
  // must have met the read in flight and yielded, or the case was not tried.
  template <class Operation>
  void fromTask(Operation operation) {
    velk::kelmi::setYieldTurn(kYieldTurn);
    std::chrono::steady_clock::duration took{};
    runInTask(
        [&] {
          const auto start = std::chrono::steady_clock::now();
          operation();
          took = std::chrono::steady_clock::now() - start;
        },
        [] { return false; }, milliseconds(10000));
    EXPECT_GE(took, kYieldTurn) << "the operation did not meet the read in flight";
  }

  bool slowDevicePruned() {
    return waitForLog(log, velk::kLogInfo, pruneMessage(slow.deviceName()), milliseconds(5000));
  }

  TcpSlave slow;
  TcpSlave fast;
};

TEST_F(LastSignalLeavesADevice, RemovedWhileItsGroupIsRead) {
  fromTask([&] { EXPECT_EQ(registry.modbusDeleteSignal("only"), 0); });
  EXPECT_TRUE(slowDevicePruned());
  EXPECT_TRUE(registry.modbusGetSignalNames().empty());
}

TEST_F(LastSignalLeavesADevice, MovedToAnotherDeviceWhileItsGroupIsRead) {
  fromTask(
      [&] { registry.modbusAddSignal(fast.deviceInfo(), 2, kAddress, kHoldingRegister, "only"); });
  EXPECT_TRUE(slowDevicePruned());
  EXPECT_TRUE(valueBecomes("only", 333, milliseconds(5000)));
}

TEST_F(LastSignalLeavesADevice, ReaddressedInPlaceWhileItsGroupIsRead) {
  fromTask([&] {
    registry.modbusAddSignal(slow.deviceInfo(), 2, kAddress + 1, kHoldingRegister, "only");
  });
  EXPECT_TRUE(valueBecomes("only", 222, milliseconds(5000)));
  EXPECT_EQ(log.countContaining("has no signals anymore"), 0);
}

}  // namespace
