#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/log_level.h"
#include "communication/modbus_dev/modbus_device.h"
#include "joystick_sim/tcp_slave.h"
#include "modbus_dev/device_test_kit.h"
#include "support/log_capture.h"
#include "support/raw_tcp_responder.h"

namespace velk::zorv_control {
namespace {

using testkit::kPollPeriod;
using testkit::kResponseTimeoutMs;
using testkit::kUnit;
using testkit::makeSignal;
using testkit::pollPass;
using testkit::pollPasses;
using velk::joystick_sim::TcpSlave;
using velk::test::LogCapture;
using Groups = ModbusDevice::GroupMap;

constexpr int kReadCoils = 1;
constexpr int kReadHolding = 3;
constexpr int kReadInput = 4;

// Sorts signals at `addresses` (all 10 Hz) into a fresh map in that order.
Groups groupInOrder(ModbusDevice& device, AddressType type, int limit,
                    const std::vector<int>& addresses) {
  Groups groups;
  for (int address : addresses) {
    auto signal = makeSignal("s", type, address);
    device.groupSignal(groups, signal.get(), type, limit);
  }
  return groups;
}

std::pair<int, int> runOf(const Groups& groups, int frequency) {
  const ModbusDevice::Group& group = groups.at(frequency);
  return {group.start, group.end};
}

TEST(GroupSignal, GroupsStayBelowTheirLimit) {
  ModbusDevice device;
  const int bits = ModbusDevice::kBitGroupLimit;
  const int registers = ModbusDevice::kRegisterGroupLimit;
  EXPECT_EQ(runOf(groupInOrder(device, AddressType::Coil, bits, {0, 254}), 10),
            std::make_pair(0, 254));
  EXPECT_EQ(runOf(groupInOrder(device, AddressType::Coil, bits, {0, 255}), 10),
            std::make_pair(0, 0));
  EXPECT_EQ(runOf(groupInOrder(device, AddressType::HoldingRegister, registers, {0, 98}), 10),
            std::make_pair(0, 98));
  EXPECT_EQ(runOf(groupInOrder(device, AddressType::HoldingRegister, registers, {0, 99}), 10),
            std::make_pair(0, 0));
  EXPECT_EQ(runOf(groupInOrder(device, AddressType::InputRegister, registers, {99, 0}), 10),
            std::make_pair(99, 99));
}

TEST(GroupSignal, TheFirstSignalAnchorsTheRun) {
  ModbusDevice device;
  const int limit = ModbusDevice::kRegisterGroupLimit;
  const Groups late_zero = groupInOrder(device, AddressType::HoldingRegister, limit, {150, 0, 90});
  EXPECT_EQ(runOf(late_zero, 10), std::make_pair(90, 150));
  const Groups early_zero = groupInOrder(device, AddressType::HoldingRegister, limit, {0, 150, 90});
  EXPECT_EQ(runOf(early_zero, 10), std::make_pair(0, 90));
  const Groups single = groupInOrder(device, AddressType::HoldingRegister, limit, {42});
  EXPECT_DOUBLE_EQ(single.at(10).countdown, 0.1);
  EXPECT_EQ(single.at(10).type, AddressType::HoldingRegister);
}

// Input registers at two or three update frequencies, grouped by a rebuild
// and read for 0.2 s: each rate's signals come in one request at that rate,
// a slow signal inside a fast run is read by the fast run only, and a fast
// signal never lands in a slower group.
TEST(GroupSignal, EachFrequencyIsReadInOneRequestAtItsRate) {
  struct Placed {
    const char* name;
    int address;
    int frequency;
  };
  struct Read {
    int address;
    int count;
    int times;
  };
  struct Row {
    const char* what;
    std::vector<Placed> signals;
    std::vector<Read> reads;
  };
  const std::vector<Row> rows = {
      {"axes at 50 Hz, indicator and versions at 10 Hz",
       {{"firmware", 263, 10},
        {"hardware", 264, 10},
        {"indicator", 262, 10},
        {"rx", 259, 50},
        {"ry", 260, 50},
        {"rz", 261, 50},
        {"x", 256, 50},
        {"y", 257, 50},
        {"z", 258, 50}},
       {{256, 6, 10}, {262, 3, 2}}},
      {"a slow signal named first inside the fast run",
       {{"a", 258, 10}, {"x", 256, 50}, {"y", 257, 50}, {"z", 260, 50}},
       {{256, 5, 10}}},
      {"three rates", {{"a", 0, 1}, {"b", 300, 10}, {"c", 50, 50}}, {{50, 1, 10}, {300, 1, 2}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    LogCapture log;
    TcpSlave slave;
    ModbusDevice device(log.callback(), slave.host(), slave.port(), kUnit, kResponseTimeoutMs);
    ASSERT_EQ(device.connect(), 0);
    std::vector<std::unique_ptr<ModbusSignal>> signals;
    for (const Placed& placed : row.signals) {
      slave.setInputRegister(placed.address, static_cast<uint16_t>(placed.address + 1));
      signals.push_back(makeSignal(placed.name, AddressType::InputRegister, placed.address));
      signals.back()->update_frequency = placed.frequency;
      device.addSignal(signals.back().get());
    }
    device.refreshSignalsGroup();
    for (int pass = 0; pass < 20; ++pass) device.readAllSignals(kPollPeriod);
    int total = 0;
    for (const Read& read : row.reads) {
      EXPECT_EQ(slave.requestCount(kReadInput, read.address, read.count), read.times)
          << read.address;
      total += read.times;
    }
    EXPECT_EQ(slave.requestCount(), total);
    for (const auto& signal : signals) {
      const int expected = signal->update_frequency >= 10 ? signal->address + 1 : 0;
      EXPECT_EQ(signal->value, expected) << signal->name;
    }
  }
}

TEST(GroupSignal, AddressesOutsideTheProtocolRangeAreNeverGrouped) {
  ModbusDevice device;
  const int limit = ModbusDevice::kRegisterGroupLimit;
  // A negative address would otherwise set start above end and silence the
  // whole run; 70000 would be read at 70000 & 0xFFFF.
  Groups groups = groupInOrder(device, AddressType::HoldingRegister, limit, {5, -1, 70000});
  EXPECT_EQ(runOf(groups, 10), std::make_pair(5, 5));
}

TEST(ReadGroups, EmptyReadOperationIsRefused) {
  ModbusDevice device;
  Groups groups;
  EXPECT_EQ((device.readGroups<uint16_t, 100>(groups, {}, kPollPeriod)), -1);
}

class BatchedReads : public ::testing::Test {
 protected:
  std::unique_ptr<ModbusSignal> attach(const std::string& name, AddressType type, int address,
                                       int32_t error_state = 0) {
    auto signal = makeSignal(name, type, address, error_state);
    EXPECT_EQ(device.addSignal(signal.get()), 0);
    return signal;
  }
  void SetUp() override { ASSERT_EQ(device.connect(), 0); }

  LogCapture log;
  TcpSlave slave;
  ModbusDevice device{log.callback(), slave.host(), slave.port(), kUnit, kResponseTimeoutMs};
};

TEST_F(BatchedReads, CoilsAtZeroAndFiveAreOneRequestOfSixEveryTenthPass) {
  slave.setCoil(0, true);
  slave.setCoil(5, true);
  auto first = attach("a", AddressType::Coil, 0);
  auto second = attach("b", AddressType::Coil, 5);
  for (int pass = 1; pass <= 9; ++pass) device.readAllSignals(kPollPeriod);
  EXPECT_EQ(slave.requestCount(), 0);
  device.readAllSignals(kPollPeriod);
  EXPECT_EQ(slave.requestCount(kReadCoils, 0, 6), 1);
  EXPECT_EQ(first->value, 1);
  EXPECT_EQ(second->value, 1);
  for (int pass = 1; pass <= 10; ++pass) device.readAllSignals(kPollPeriod);
  EXPECT_EQ(slave.requestCount(), 2);
}

TEST_F(BatchedReads, SignalBeyondTheBitLimitStaysHealthyButUnread) {
  slave.setCoil(255, true);
  auto first = attach("a", AddressType::Coil, 0);
  auto beyond = attach("b", AddressType::Coil, 255);
  pollPasses(device, 30);
  EXPECT_EQ(slave.requestCount(kReadCoils, 0, 1), 3);
  EXPECT_EQ(slave.requestCount(), 3);
  EXPECT_EQ(beyond->value, 0);
  EXPECT_EQ(beyond->error_state, 0);
}

TEST_F(BatchedReads, EachAddressSpaceHasItsOwnGroupAndFunction) {
  slave.setDiscreteInput(3, true);
  slave.setInputRegister(256, 0xFFFF);
  slave.setHoldingRegister(512, 6);
  auto input_bit = attach("di", AddressType::DiscreteInput, 3);
  auto input = attach("ir", AddressType::InputRegister, 256);
  auto holding = attach("hr", AddressType::HoldingRegister, 512);
  auto unknown = attach("odd", static_cast<AddressType>(7), 1);
  EXPECT_TRUE(device.hasSignals());
  for (int pass = 0; pass < 10; ++pass) device.readAllSignals(kPollPeriod);
  EXPECT_EQ(slave.requestCount(2, 3, 1), 1);
  EXPECT_EQ(slave.requestCount(kReadInput, 256, 1), 1);
  EXPECT_EQ(slave.requestCount(kReadHolding, 512, 1), 1);
  EXPECT_EQ(slave.requestCount(), 3);
  EXPECT_EQ(input_bit->value, 1);
  EXPECT_EQ(input->value, 0xFFFF);
  EXPECT_EQ(holding->value, 6);
  EXPECT_EQ(unknown->error_state, 0);  // attached, never touched
}

TEST_F(BatchedReads, NewSignalIsProbedThenGroupedThenRead) {
  slave.setHoldingRegister(40, 4);
  auto signal = attach("late", AddressType::HoldingRegister, 40, ModbusSignal::kNotYetRead);
  for (int pass = 0; pass < 9; ++pass) pollPass(device);
  EXPECT_EQ(slave.requestCount(), 0);
  pollPass(device);  // the retry countdown of 0.1 s runs out: one probe
  EXPECT_EQ(slave.requestCount(kReadHolding, 40, 1), 1);
  EXPECT_EQ(signal->error_state, 0);
  EXPECT_EQ(signal->value, 0);  // a probe does not store what it read
  pollPasses(device, 10);
  EXPECT_EQ(signal->value, 4);
  EXPECT_EQ(slave.requestCount(), 2);
}

TEST_F(BatchedReads, RejectedAddressInsideARunCyclesBetweenProbeAndRegroup) {
  slave.setHoldingRegister(0, 10);
  slave.setHoldingRegister(2, 20);
  slave.rejectAddress(1, 2, kReadHolding);
  auto low = attach("a0", AddressType::HoldingRegister, 0);
  auto bad = attach("a1", AddressType::HoldingRegister, 1);
  auto high = attach("a2", AddressType::HoldingRegister, 2);
  pollPasses(device, 10);
  EXPECT_EQ(slave.requestCount(kReadHolding, 0, 3), 1);
  EXPECT_EQ(low->error_state, 2);
  EXPECT_EQ(bad->error_state, 2);
  EXPECT_EQ(high->error_state, 2);
  // The probes let 0 and 2 back; their group spans 1 again and fails again.
  pollPasses(device, 100);
  EXPECT_GE(slave.requestCount(kReadHolding, 0, 3), 5);
  EXPECT_GE(slave.requestCount(kReadHolding, 1, 1), 5);
  EXPECT_EQ(bad->error_state, 2);
  EXPECT_EQ(low->value, 0);
  EXPECT_EQ(high->value, 0);
}

TEST_F(BatchedReads, RejectedAddressAtTheEndOfARunLetsTheRestReturn) {
  slave.setHoldingRegister(0, 10);
  slave.setHoldingRegister(2, 20);
  slave.rejectAddress(3, 2, kReadHolding);
  auto low = attach("a0", AddressType::HoldingRegister, 0);
  auto middle = attach("a1", AddressType::HoldingRegister, 1);
  auto high = attach("a2", AddressType::HoldingRegister, 2);
  auto bad = attach("a3", AddressType::HoldingRegister, 3);
  pollPasses(device, 40);
  EXPECT_EQ(low->error_state, 0);
  EXPECT_EQ(middle->error_state, 0);
  EXPECT_EQ(high->error_state, 0);
  EXPECT_EQ(bad->error_state, 2);
  EXPECT_EQ(low->value, 10);
  EXPECT_EQ(high->value, 20);
  EXPECT_GE(slave.requestCount(kReadHolding, 0, 3), 1);
}

TEST_F(BatchedReads, TooManyDataFallsBackToSingleReads) {
  slave.setHoldingRegister(0, 10);
  slave.setHoldingRegister(2, 20);
  slave.rejectAddress(2, 2, kReadHolding);
  auto low = attach("a0", AddressType::HoldingRegister, 0);
  auto high = attach("a2", AddressType::HoldingRegister, 2);
  Groups groups;
  device.groupSignal(groups, low.get(), AddressType::HoldingRegister, 100);
  device.groupSignal(groups, high.get(), AddressType::HoldingRegister, 100);
  // The batched request is answered with too much data; single reads go to
  // the slave.
  std::function<int(int, int, uint16_t*)> read = [this](int address, int count, uint16_t* dest) {
    return count > 1 ? -4 : device.readRegisters(address, count, dest);
  };
  for (int pass = 0; pass < 10; ++pass) {
    device.readGroups<uint16_t, 100>(groups, read, kPollPeriod);
  }
  EXPECT_EQ(low->error_state, 0);
  EXPECT_EQ(low->value, 10);
  EXPECT_EQ(high->error_state, 2);
  EXPECT_EQ(slave.requestCount(), 2);
  // The failed single read asks for a regroup; the good one did not fail.
  device.checkIfRegroupNeeded();
  pollPasses(device, 10);
  EXPECT_EQ(slave.requestCount(kReadHolding, 0, 1), 2);
}

TEST_F(BatchedReads, DeletingTheOnlySignalOfARunDropsIt) {
  auto first = attach("a", AddressType::Coil, 0);
  auto second = attach("b", AddressType::Coil, 5);
  EXPECT_EQ(device.deleteSignal("b"), 0);
  EXPECT_EQ(device.deleteSignal("b"), -1);
  pollPasses(device, 10);
  EXPECT_EQ(slave.requestCount(kReadCoils, 0, 1), 1);
  EXPECT_EQ(device.deleteSignal("a"), 0);
  EXPECT_FALSE(device.hasSignals());
  pollPasses(device, 20);
  EXPECT_EQ(slave.requestCount(), 1);
}

TEST_F(BatchedReads, DisconnectedDeviceMarksEverySignalWithoutARequest) {
  auto coil = attach("c", AddressType::Coil, 0);
  auto holding = attach("h", AddressType::HoldingRegister, 0);
  device.close();
  EXPECT_EQ(device.readAllSignals(kPollPeriod), -1);
  EXPECT_EQ(coil->error_state, 3);
  EXPECT_EQ(holding->error_state, 3);
  EXPECT_EQ(slave.requestCount(), 0);
}

TEST_F(BatchedReads, ConnectionLostInAGroupReadMarksTheRunAndStopsTheRest) {
  auto coil = attach("c", AddressType::Coil, 0);
  auto holding = attach("h", AddressType::HoldingRegister, 0);
  pollPasses(device, 9);
  slave.dropClients();
  pollPass(device);
  EXPECT_FALSE(device.isConnected());
  EXPECT_EQ(coil->error_state, -2);
  EXPECT_EQ(holding->error_state, -2);  // the wrapper refuses once the link is lost
  EXPECT_EQ(device.readAllSignals(kPollPeriod), -1);
  EXPECT_EQ(coil->error_state, 3);
}

TEST_F(BatchedReads, OutOfRangeAddressIsReportedAndNeverSent) {
  auto wide = attach("wide", AddressType::HoldingRegister, 70000);
  auto negative = attach("negative", AddressType::Coil, -1, ModbusSignal::kNotYetRead);
  wide->setOutput(1);
  negative->setOutput(1);
  EXPECT_EQ(wide->error_state, 2);
  EXPECT_EQ(log.countContaining("Modbus signal {} address {} is outside 0..65535"), 1);
  pollPasses(device, 30);
  EXPECT_EQ(slave.requestCount(), 0);
}

TEST(OverlongReply, ReplyWithMoreDataThanAskedIsInvalidData) {
  velk::test::RawTcpResponder odd([](const velk::test::RawTcpResponder::Frame& request) {
    return velk::test::RawTcpResponder::readReplyWithExtraData(request, 2);
  });
  LogCapture log;
  ModbusDevice device(log.callback(), "127.0.0.1", odd.port(), kUnit, kResponseTimeoutMs);
  ASSERT_EQ(device.connect(), 0);
  auto a = makeSignal("a", AddressType::InputRegister, 256);
  auto b = makeSignal("b", AddressType::InputRegister, 258);
  device.addSignal(a.get());
  device.addSignal(b.get());
  pollPasses(device, 10);
  // libmodbus reports such a reply as invalid data, not as too many data.
  EXPECT_EQ(a->error_state, 3);
  EXPECT_EQ(b->error_state, 3);
  EXPECT_TRUE(device.isConnected());
  EXPECT_EQ(odd.requestCount(), 2);  // tried once more, as any damaged reply
}

}  // namespace
}  // namespace velk::zorv_control
