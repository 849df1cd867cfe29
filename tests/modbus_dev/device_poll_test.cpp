#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "communication/modbus_dev/modbus_device.h"
#include "host/kelmi/periodic_thread.h"
#include "host_rig/rig_timing.h"
#include "modbus_dev/device_test_kit.h"

namespace velk::zorv_control {
namespace {

using testkit::makeSignal;
using testkit::pollPass;
using testkit::pollPasses;
using namespace velk::host_rig::timing;

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
    for (const TableRow& row : kJoystick) {
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

  for (const TableRow& row : kJoystick) {
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

}  // namespace
}  // namespace velk::zorv_control
