#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "modbus_wrapper/signal_snapshot.h"
#include "modbus_wrapper/wait_until.h"
#include "support/tcp_test_slave.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using velk::test::LogCapture;
using velk::test::snapshotError;
using velk::test::snapshotValue;
using velk::test::TcpTestSlave;
using velk::test::waitForLog;
using velk::test::waitUntil;
using velk::zorv_control::ModbusWrapperImpl;

constexpr int kCoil = 1;
constexpr int kHoldingRegister = 3;
constexpr int kOutputs = 4;
constexpr int kOutputBase = 100;
constexpr int kMoverAddress = 50;

std::string infoOf(const TcpTestSlave& slave) {
  return slave.host() + "," + std::to_string(slave.port());
}

// Plays the rocker's periodic task against a registry whose poll thread is
// busy with two live slaves: every changing operation and every query, with
// devices made, emptied and pruned all along.
class PeriodicTaskPlayer {
 public:
  PeriodicTaskPlayer(ModbusWrapperImpl& registry, const std::string& info_a,
                     const std::string& info_b, const std::string& info_c)
      : registry_(registry), info_a_(info_a), info_b_(info_b), info_c_(info_c) {}

  void runFor(milliseconds duration) {
    const auto end = steady_clock::now() + duration;
    while (steady_clock::now() < end) cycle();
  }

  uint16_t lastOutput(int k) const { return last_outputs_[k]; }
  uint16_t lastMover() const { return last_mover_; }
  bool moverOnA() const { return mover_on_a_; }
  int cycles() const { return cycle_; }

 private:
  void cycle() {
    ++cycle_;
    changeSignals();
    setOutputs();
    query();
    std::this_thread::sleep_for(milliseconds(1));
  }

  void changeSignals() {
    const bool odd = (cycle_ % 2) != 0;
    mover_on_a_ = !odd;
    registry_.modbusAddSignal(mover_on_a_ ? info_a_ : info_b_, 2, kMoverAddress, kHoldingRegister,
                              "mover");
    registry_.modbusAddSignal(odd ? info_a_ : info_b_, 2, odd ? 60 : 61, kCoil, "replaced");
    registry_.modbusAddSignal(info_a_, 2, odd ? 70 : 71, kHoldingRegister, "in_place");
    registry_.modbusSetSignalUpdateFrequency("in_place", odd ? 20 : 10);
    // Device C lives only as long as this signal: created, emptied and pruned
    // over and over, racing the poll thread.
    if (odd) {
      registry_.modbusAddSignal(info_c_, 2, 1, kCoil, "transient");
    } else {
      registry_.modbusDeleteSignal("transient");
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
  int cycle_ = 0;
  uint16_t last_outputs_[kOutputs] = {};
  uint16_t last_mover_ = 0;
  bool mover_on_a_ = true;
};

TEST(RegistryConcurrency, TaskChurnWhilePollThreadTalksToLiveSlaves) {
  TcpTestSlave slave_a;
  TcpTestSlave slave_b;
  TcpTestSlave slave_c;
  LogCapture log;
  ModbusWrapperImpl registry(log.callback());
  for (int k = 0; k < kOutputs; ++k) {
    registry.modbusAddSignal(infoOf(slave_a), 2, kOutputBase + k, kHoldingRegister,
                             "out" + std::to_string(k));
  }
  registry.modbusAddSignal(infoOf(slave_b), 2, 0, kHoldingRegister, "anchor_b");
  // Churn while both devices really read and write.
  ASSERT_TRUE(waitUntil(
      [&] {
        return snapshotError(registry, "out0") == 0 && snapshotError(registry, "anchor_b") == 0;
      },
      milliseconds(10000)));

  PeriodicTaskPlayer player(registry, infoOf(slave_a), infoOf(slave_b), infoOf(slave_c));
  std::thread task([&] { player.runFor(milliseconds(1000)); });
  // A host thread querying at the same time.
  std::atomic<bool> task_done{false};
  std::thread host([&] {
    while (!task_done) {
      registry.modbusGetSignalValues();
      std::this_thread::sleep_for(milliseconds(2));
    }
  });
  task.join();
  task_done = true;
  host.join();
  EXPECT_GT(player.cycles(), 10);

  // The last value set for each output reaches its slave.
  TcpTestSlave& mover_slave = player.moverOnA() ? slave_a : slave_b;
  EXPECT_TRUE(waitUntil(
      [&] {
        for (int k = 0; k < kOutputs; ++k) {
          if (slave_a.holdingRegister(kOutputBase + k) != player.lastOutput(k)) return false;
        }
        return mover_slave.holdingRegister(kMoverAddress) == player.lastMover();
      },
      milliseconds(5000)));
  const auto names = registry.modbusGetSignalNames();
  EXPECT_EQ(names.size(), player.cycles() % 2 == 1 ? 9u : 8u);
}

}  // namespace
