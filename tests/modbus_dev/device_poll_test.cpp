#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "communication/modbus_dev/modbus_device.h"
#include "host/kelmi/periodic_thread.h"
#include "joystick_sim/tcp_slave.h"
#include "modbus_dev/device_test_kit.h"
#include "support/log_capture.h"

namespace velk::zorv_control {
namespace {

using testkit::kPollPeriod;
using testkit::kResponseTimeoutMs;
using testkit::kUnit;
using testkit::makeSignal;
using testkit::pollPass;
using velk::joystick_sim::TcpSlave;
using velk::test::LogCapture;
using Clock = std::chrono::steady_clock;

struct TableRow {
  const char* name;
  AddressType type;
  int address;
};

// The joystick's register map.
const TableRow kJoystick[] = {
    {"get_button_0", AddressType::Coil, 0},
    {"get_button_1", AddressType::Coil, 1},
    {"get_button_light_1", AddressType::Coil, 2},
    {"get_button_light_2", AddressType::Coil, 3},
    {"get_x", AddressType::InputRegister, 256},
    {"get_y", AddressType::InputRegister, 257},
    {"get_z", AddressType::InputRegister, 258},
    {"get_rx", AddressType::InputRegister, 259},
    {"get_ry", AddressType::InputRegister, 260},
    {"get_rz", AddressType::InputRegister, 261},
    {"get_indicator_light", AddressType::InputRegister, 262},
    {"set_button_light_1", AddressType::Coil, 16},
    {"set_button_light_2", AddressType::Coil, 17},
    {"set_indicator_light", AddressType::HoldingRegister, 512},
    {"get_firmware_version", AddressType::InputRegister, 263},
    {"get_hardware_version", AddressType::InputRegister, 264},
};

class JoystickPolling : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int address = 256; address <= 264; ++address) {
      slave.setInputRegister(address, static_cast<uint16_t>(address - 200));
    }
    slave.setCoil(1, true);
    ASSERT_EQ(device.connect(), 0);
    for (const TableRow& row : kJoystick) {
      // As attached by the registry: not yet read, so kept out of the groups.
      signals.push_back(makeSignal(row.name, row.type, row.address, ModbusSignal::kNotYetRead));
      device.addSignal(signals.back().get());
    }
  }

  // Runs poll passes every 10 ms for `duration`; returns the number of passes.
  int pollFor(std::chrono::milliseconds duration) {
    const auto end = Clock::now() + duration;
    int passes = 0;
    while (Clock::now() < end) {
      pollPass(device);
      ++passes;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return passes;
  }

  ModbusSignal& signal(const std::string& name) {
    for (auto& s : signals) {
      if (s->name == name) return *s;
    }
    throw std::out_of_range(name);
  }

  LogCapture log;
  TcpSlave slave;
  ModbusDevice device{log.callback(), slave.host(), slave.port(), kUnit, kResponseTimeoutMs};
  std::vector<std::unique_ptr<ModbusSignal>> signals;
};

TEST_F(JoystickPolling, PollOrderForOneSecondProbesOnceThenReadsThreeGroups) {
  signal("set_indicator_light").setOutput(3);
  const int passes = pollFor(std::chrono::milliseconds(1000));
  ASSERT_GE(passes, 25) << "the box is too slow to say anything";

  for (const TableRow& row : kJoystick) {
    EXPECT_EQ(signal(row.name).error_state, 0) << row.name;
    // The indicator's group is one register: its reads look like its probe.
    if (row.type == AddressType::HoldingRegister) continue;
    const int function = row.type == AddressType::Coil ? 1 : 4;
    EXPECT_EQ(slave.requestCount(function, row.address, 1), 1) << row.name;
  }
  // The groups form at the first probe (pass 10) and are read every 10 passes.
  const int most = passes / 10;
  for (auto [function, start, count] : {std::tuple{1, 0, 18}, {4, 256, 9}}) {
    EXPECT_GE(slave.requestCount(function, start, count), 1) << function;
    EXPECT_LE(slave.requestCount(function, start, count), most) << function;
  }
  EXPECT_GE(slave.requestCount(3, 512, 1), 2);  // its probe and at least one group read
  const int indicator_writes = slave.requestCount(6, 512, 3);
  EXPECT_GE(indicator_writes, 1);
  EXPECT_LE(indicator_writes, 10);
  EXPECT_FALSE(signal("set_indicator_light").outputPending());
  EXPECT_EQ(signal("get_x").value, 56);
  EXPECT_EQ(signal("get_hardware_version").value, 64);
  EXPECT_EQ(signal("get_button_1").value, 1);
  EXPECT_EQ(slave.connectionsAccepted(), 1);
}

TEST_F(JoystickPolling, RequestsPerSecondOnTheWire) {
  pollFor(std::chrono::milliseconds(300));  // past the probes
  slave.clearLog();
  const auto start = Clock::now();
  const int passes = pollFor(std::chrono::milliseconds(3000));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double rate = slave.requestCount() / seconds;
  std::cout << "joystick traffic: " << slave.requestCount() << " requests in " << seconds
            << " s over " << passes << " passes = " << rate << " requests/s\n";
  RecordProperty("requests_per_second", std::to_string(rate));
  // Three groups at 10 Hz make at most 30 requests per second of passes.
  EXPECT_GT(rate, 5.0);
  EXPECT_LE(rate, 31.0);
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
  const int passes = pollFor(std::chrono::milliseconds(1000));
  registry.stop();
  registry.join();
  pollPass(device);  // sends what is left in the queue

  EXPECT_GT(rounds.load(), 10);
  EXPECT_GT(passes, 10);
  EXPECT_TRUE(device.isConnected());
  EXPECT_FALSE(device.hasRawRequests());
  EXPECT_GT(slave.requestCount(3, 0, 1), 0);
  for (auto& extra : extras) device.deleteSignal(extra->name);
}

}  // namespace
}  // namespace velk::zorv_control
