#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/log_level.h"
#include "communication/modbus_dev/modbus_device.h"
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
using testkit::pollPasses;
using velk::joystick_sim::SlaveWrite;
using velk::joystick_sim::TcpSlave;
using velk::test::LogCapture;

constexpr int kWriteCoil = 5;
constexpr int kWriteRegister = 6;

int writesTo(const TcpSlave& slave, int function, int address, int value) {
  int count = 0;
  for (const SlaveWrite& write : slave.writes()) {
    if (write.function == function && write.address == address && write.value == value) ++count;
  }
  return count;
}

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

class OutputWrites : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(device.connect(), 0); }
  std::unique_ptr<ModbusSignal> attach(const std::string& name, AddressType type, int address) {
    auto signal = makeSignal(name, type, address);
    device.addSignal(signal.get());
    return signal;
  }

  LogCapture log;
  TcpSlave slave;
  ModbusDevice device{log.callback(), slave.host(), slave.port(), kUnit, kResponseTimeoutMs};
};

TEST_F(OutputWrites, PendingOutputIsWrittenEveryPassUntilAReadConfirmsIt) {
  auto light = attach("set_button_light_1", AddressType::Coil, 16);
  auto indicator = attach("set_indicator_light", AddressType::HoldingRegister, 512);
  light->setOutput(1);
  indicator->setOutput(0x1234);
  pollPasses(device, 10);
  // Written on passes 1..9; the read of pass 10 sees the value and stops it.
  EXPECT_EQ(writesTo(slave, kWriteCoil, 16, 1), 9);
  EXPECT_EQ(writesTo(slave, kWriteRegister, 512, 0x1234), 9);
  EXPECT_FALSE(light->outputPending());
  EXPECT_FALSE(indicator->outputPending());
  EXPECT_EQ(indicator->value, 0x1234);
  pollPasses(device, 20);
  EXPECT_EQ(slave.writes().size(), 18u);
  EXPECT_TRUE(slave.coil(16));
}

TEST_F(OutputWrites, CoilOutputOtherThanZeroOrOneIsNeverConfirmed) {
  auto light = attach("light", AddressType::Coil, 17);
  light->setOutput(2);
  pollPasses(device, 30);
  EXPECT_EQ(writesTo(slave, kWriteCoil, 17, 1), 30);
  EXPECT_TRUE(light->outputPending());
  EXPECT_EQ(light->value, 1);
}

TEST_F(OutputWrites, RefusedWriteIsLoggedAndPausesUntilTheSignalReadsAgain) {
  auto light = attach("light", AddressType::Coil, 16);
  slave.rejectAddress(16, 2, kWriteCoil);
  light->setOutput(1);
  pollPass(device);
  EXPECT_EQ(light->error_state, 2);
  EXPECT_EQ(log.count(kLogError, "Set Modbus signal {} result failed, ret:{} light 2"), 1);
  pollPasses(device, 8);
  EXPECT_EQ(slave.writes().size(), 1u);
  pollPass(device);  // pass 10: the probe succeeds, so the write is tried again
  EXPECT_EQ(slave.writes().size(), 2u);
  EXPECT_TRUE(light->outputPending());
  EXPECT_TRUE(device.isConnected());
}

TEST_F(OutputWrites, OutputOnAReadOnlyTypeIsReportedOnEveryPass) {
  auto input = attach("button", AddressType::DiscreteInput, 0);
  auto odd = attach("odd", static_cast<AddressType>(7), 0);
  input->setOutput(1);
  odd->setOutput(1);
  pollPasses(device, 3);
  EXPECT_EQ(log.count(kLogError, "Unknown modbus address type({}) when set {} output 0 button"), 3);
  EXPECT_EQ(log.count(kLogError, "Unknown modbus address type({}) when set {} output 7 odd"), 3);
  EXPECT_TRUE(slave.writes().empty());
  EXPECT_EQ(input->error_state, 0);
}

TEST_F(OutputWrites, DisconnectedDeviceMarksSignalsAndKeepsItsRawRequests) {
  auto light = attach("light", AddressType::Coil, 16);
  light->setOutput(1);
  device.addRawRequest({2, 6, 0, 1, 0, 1});
  device.addRawRequest({2, 6, 0, 2, 0, 2});
  device.close();
  EXPECT_EQ(device.writeAllSignals(kPollPeriod), -1);
  EXPECT_EQ(light->error_state, -2);
  EXPECT_TRUE(device.hasRawRequests());
  EXPECT_EQ(slave.requestCount(), 0);

  for (int call = 0; call < 102; ++call) device.reconnect();
  ASSERT_TRUE(device.isConnected());
  device.writeAllSignals(kPollPeriod);
  EXPECT_FALSE(device.hasRawRequests());
  EXPECT_EQ(slave.holdingRegister(1), 1);
  EXPECT_EQ(slave.holdingRegister(2), 2);
}

TEST_F(OutputWrites, RawRequestsGoOutInOrderAndTheQueueEmptiesDespiteABadOne) {
  device.addRawRequest({2});  // too short to be a Modbus request
  device.addRawRequest({2, 6, 0, 1, 0, 11});
  device.addRawRequest({2, 6, 0, 2, 0, 22});
  EXPECT_TRUE(device.hasRawRequests());
  EXPECT_EQ(device.writeAllSignals(kPollPeriod), 0);
  EXPECT_FALSE(device.hasRawRequests());
  const std::vector<SlaveWrite> writes = slave.writes();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].address, 1);
  EXPECT_EQ(writes[1].address, 2);
  EXPECT_EQ(log.countContaining("Raw Modbus request of {} bytes refused"), 1);
  EXPECT_TRUE(device.isConnected());
}

TEST_F(OutputWrites, ReplyToARawRequestDoesNotSpoilTheNextRead) {
  slave.setHoldingRegister(0, 5);
  device.addRawRequest({2, 3, 0, 0, 0, 1});
  slave.rejectAddress(1, 2, kWriteRegister);
  device.addRawRequest({2, 6, 0, 1, 0, 9});  // answered with an exception
  device.writeAllSignals(kPollPeriod);
  std::vector<uint16_t> value(1);
  EXPECT_EQ(device.readRegisters(0, 1, value.data()), 0);
  EXPECT_EQ(value[0], 5);
}

TEST_F(OutputWrites, RawRequestsAfterALostConnectionWaitForTheReconnect) {
  for (uint8_t address = 0; address < 6; ++address) {
    device.addRawRequest({2, 6, 0, address, 0, 1});
  }
  slave.dropClients();
  device.writeAllSignals(kPollPeriod);
  EXPECT_FALSE(device.isConnected());
  ASSERT_TRUE(device.hasRawRequests());
  const int sent = slave.requestCount();
  for (int call = 0; call < 102; ++call) device.reconnect();
  ASSERT_TRUE(device.isConnected());
  device.writeAllSignals(kPollPeriod);
  EXPECT_FALSE(device.hasRawRequests());
  EXPECT_EQ(slave.requestCount() - sent, 5);  // all but the one that met the dead link
  EXPECT_EQ(slave.holdingRegister(5), 1);
}

}  // namespace
}  // namespace velk::zorv_control
