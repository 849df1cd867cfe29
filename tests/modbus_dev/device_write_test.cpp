#include <gtest/gtest.h>

#include <vector>

#include "common/log_level.h"
#include "communication/modbus_dev/modbus_device.h"
#include "modbus_dev/device_test_kit.h"

namespace velk::zorv_control {
namespace {

using testkit::kPollPeriod;
using testkit::pollPass;
using testkit::pollPasses;
using Raw = std::vector<uint8_t>;

constexpr int kWriteCoil = 5;
constexpr int kWriteRegister = 6;

TEST(OutputHandOver, ConfirmationClearsOnlyTheValueThatWasRead) {
  ModbusSignal signal;
  EXPECT_FALSE(signal.outputPending());
  signal.setOutput(1);
  EXPECT_FALSE(signal.confirmOutput(0));
  EXPECT_TRUE(signal.confirmOutput(1));
  EXPECT_FALSE(signal.outputPending());
  EXPECT_EQ(signal.outputValue(), 1);
  // A new value set between the read and its confirmation stays pending.
  signal.setOutput(1);
  signal.setOutput(0xBEEF);
  EXPECT_FALSE(signal.confirmOutput(1));
  EXPECT_TRUE(signal.outputPending());
  EXPECT_EQ(signal.outputValue(), 0xBEEF);
}

class OutputWrites : public ::testing::Test, public testkit::ScriptedDevice {};

// An output goes out at most once per period of its signal (its group's
// read confirms it meanwhile), also when it is set again on every pass, as
// a flapping light is. A coil output other than 0 or 1 goes out as 1, reads
// back as 1, and is never confirmed: written again once per period.
TEST_F(OutputWrites, PendingOutputIsWrittenOncePerPeriodUntilAReadConfirmsIt) {
  auto light = attach("set_button_light_1", AddressType::Coil, 16);
  auto indicator = attach("set_indicator_light", AddressType::HoldingRegister, 512);
  auto odd = attach("odd_light", AddressType::Coil, 17);
  light->setOutput(1);
  indicator->setOutput(0x1234);
  odd->setOutput(2);
  pollPasses(device, 10);
  // Written on pass 1; the read of pass 10 sees the value and stops it.
  EXPECT_EQ(link.requestCount(kWriteCoil, 16, 1), 1);
  EXPECT_EQ(link.requestCount(kWriteRegister, 512, 0x1234), 1);
  EXPECT_FALSE(light->outputPending());
  EXPECT_FALSE(indicator->outputPending());
  EXPECT_EQ(indicator->value, 0x1234);
  pollPasses(device, 20);
  EXPECT_EQ(link.requestCount(kWriteCoil, 16, 1) + link.requestCount(kWriteRegister, 512, 0x1234),
            2);
  EXPECT_EQ(link.get(AddressType::Coil, 16), 1);
  EXPECT_EQ(link.requestCount(kWriteCoil, 17, 1), 3);  // passes 1, 11, 21
  EXPECT_TRUE(odd->outputPending());
  EXPECT_EQ(odd->value, 1);

  link.clearLog();
  for (int pass = 0; pass < 30; ++pass) {
    indicator->setOutput(static_cast<uint16_t>(pass % 2));
    pollPass(device);
  }
  EXPECT_EQ(link.requestCount(kWriteRegister, 512, 0) + link.requestCount(kWriteRegister, 512, 1),
            3);
}

TEST_F(OutputWrites, RefusedWriteIsLoggedAndPausesUntilTheSignalReadsAgain) {
  auto light = attach("light", AddressType::Coil, 16);
  link.rejectAddress(16, 2, kWriteCoil);
  light->setOutput(1);
  pollPass(device);
  EXPECT_EQ(light->error_state, 2);
  EXPECT_EQ(log.count(kLogError, "Set Modbus signal {} result failed, ret:{} light 2"), 1);
  pollPasses(device, 8);
  EXPECT_EQ(link.requestCount(kWriteCoil, 16, 1), 1);
  pollPass(device);  // pass 10: the probe succeeds, so the write is tried again
  EXPECT_EQ(link.requestCount(kWriteCoil, 16, 1), 2);
  EXPECT_TRUE(light->outputPending());
  EXPECT_TRUE(device.isConnected());
}

TEST_F(OutputWrites, OutputOnAReadOnlyTypeIsReportedOncePerPeriod) {
  auto input = attach("button", AddressType::DiscreteInput, 0);
  auto odd = attach("odd", static_cast<AddressType>(7), 0);
  input->setOutput(1);
  odd->setOutput(1);
  pollPasses(device, 11);
  EXPECT_EQ(log.count(kLogError, "Unknown modbus address type({}) when set {} output 0 button"), 2);
  EXPECT_EQ(log.count(kLogError, "Unknown modbus address type({}) when set {} output 7 odd"), 2);
  EXPECT_EQ(link.requestCount(), 1);  // the read of the input's group, and no write
  EXPECT_EQ(input->error_state, 0);
}

TEST_F(OutputWrites, DisconnectedDeviceMarksSignalsAndKeepsItsRawRequestsInOrder) {
  auto light = attach("light", AddressType::Coil, 16);
  light->setOutput(1);
  const std::vector<Raw> queued = {{2, 6, 0, 1, 0, 1}, {2, 6, 0, 2, 0, 2}};
  for (const Raw& raw : queued) device.addRawRequest(raw);
  device.close();
  EXPECT_EQ(device.writeAllSignals(kPollPeriod), -1);
  EXPECT_EQ(light->error_state, -2);
  EXPECT_TRUE(device.hasRawRequests());
  EXPECT_TRUE(link.rawRequests().empty());
  EXPECT_EQ(link.requestCount(), 0);

  // Connected again, they all go out in order, although the first fails.
  device.reconnect();
  link.answerNext({kModbusIllegalAddress});
  EXPECT_EQ(device.writeAllSignals(kPollPeriod), 0);
  EXPECT_FALSE(device.hasRawRequests());
  EXPECT_EQ(link.rawRequests(), queued);
  EXPECT_TRUE(device.isConnected());
}

TEST_F(OutputWrites, RawRequestsAfterALostConnectionWaitForTheReconnect) {
  std::vector<Raw> queued;
  for (uint8_t address = 0; address < 6; ++address) queued.push_back({2, 6, 0, address, 0, 1});
  for (const Raw& raw : queued) device.addRawRequest(raw);
  link.answerNext({kModbusNotConnected});
  device.writeAllSignals(kPollPeriod);
  EXPECT_FALSE(device.isConnected());
  ASSERT_TRUE(device.hasRawRequests());
  EXPECT_EQ(link.rawRequests().size(), 1u);  // only the one that met the dead link
  device.reconnect();
  device.writeAllSignals(kPollPeriod);
  EXPECT_FALSE(device.hasRawRequests());
  EXPECT_EQ(link.rawRequests().size(), 6u);
  EXPECT_EQ(link.rawRequests().back(), queued.back());
}

}  // namespace
}  // namespace velk::zorv_control
