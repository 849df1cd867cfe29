#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/log_level.h"
#include "communication/modbus_dev/modbus_device.h"
#include "modbus_dev/device_test_kit.h"

namespace velk::zorv_control {
namespace {

using testkit::kPollPeriod;
using testkit::makeSignal;
using testkit::pollPass;
using testkit::pollPasses;
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

// A run stays below its limit, the first signal anchors it, and an address
// no request can carry is never grouped: a negative one would set start
// above end and silence the run, 70000 would be read at 70000 & 0xFFFF.
TEST(GroupSignal, RunsStayBelowTheLimitFromTheFirstSignalOn) {
  const int bits = ModbusDevice::kBitGroupLimit;
  const int registers = ModbusDevice::kRegisterGroupLimit;
  const auto holding = AddressType::HoldingRegister;
  for (auto [type, limit, addresses, run] : {
           std::tuple{AddressType::Coil, bits, std::vector<int>{0, 254}, std::pair{0, 254}},
           {AddressType::Coil, bits, {0, 255}, {0, 0}},
           {holding, registers, {0, 98}, {0, 98}},
           {holding, registers, {0, 99}, {0, 0}},
           {AddressType::InputRegister, registers, {99, 0}, {99, 99}},
           {holding, registers, {150, 0, 90}, {90, 150}},
           {holding, registers, {0, 150, 90}, {0, 90}},
           {holding, registers, {5, -1, 70000}, {5, 5}},
       }) {
    ModbusDevice device;
    const ModbusDevice::Group group = groupInOrder(device, type, limit, addresses).at(10);
    EXPECT_EQ(std::make_pair(int{group.start}, int{group.end}), run) << addresses.front();
    EXPECT_DOUBLE_EQ(group.countdown, 0.1);
    EXPECT_EQ(group.type, type);
  }
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
  struct Row {
    const char* what;
    std::vector<Placed> signals;
    std::vector<std::tuple<int, int, int>> reads;  // address, count, times
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
      {"as often as an int can say, every pass", {{"max", 7, INT_MAX}}, {{7, 1, 20}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    testkit::ScriptedDevice rig;
    std::vector<std::unique_ptr<ModbusSignal>> signals;
    for (const Placed& placed : row.signals) {
      rig.link.set(AddressType::InputRegister, placed.address,
                   static_cast<uint16_t>(placed.address + 1));
      signals.push_back(makeSignal(placed.name, AddressType::InputRegister, placed.address));
      signals.back()->update_frequency = placed.frequency;
      rig.device.addSignal(signals.back().get());
    }
    rig.device.refreshSignalsGroup();
    for (int pass = 0; pass < 20; ++pass) rig.device.readAllSignals(kPollPeriod);
    int total = 0;
    for (const auto& [address, count, times] : row.reads) {
      EXPECT_EQ(rig.link.requestCount(kReadInput, address, count), times) << address;
      total += times;
    }
    EXPECT_EQ(rig.link.requestCount(), total);
    for (const auto& signal : signals) {
      const int expected = signal->update_frequency >= 10 ? signal->address + 1 : 0;
      EXPECT_EQ(signal->value, expected) << signal->name;
    }
  }
}

TEST(ReadGroups, EmptyReadOperationIsRefused) {
  ModbusDevice device;
  Groups groups;
  EXPECT_EQ((device.readGroups<uint16_t, 100>(groups, {}, kPollPeriod)), -1);
}

class BatchedReads : public ::testing::Test, public testkit::ScriptedDevice {};

// Coil 255 lies beyond the bit limit of the run from 0: healthy, but unread.
TEST_F(BatchedReads, CoilsAtZeroAndFiveAreOneRequestOfSixEveryTenthPass) {
  for (int address : {0, 5, 255}) link.set(AddressType::Coil, address, 1);
  auto first = attach("a", AddressType::Coil, 0);
  auto second = attach("b", AddressType::Coil, 5);
  auto beyond = attach("c", AddressType::Coil, 255);
  pollPasses(device, 9);
  EXPECT_EQ(link.requestCount(), 0);
  pollPass(device);
  EXPECT_EQ(link.requestCount(kReadCoils, 0, 6), 1);
  EXPECT_EQ(first->value, 1);
  EXPECT_EQ(second->value, 1);
  pollPasses(device, 20);
  EXPECT_EQ(link.requestCount(), 3);
  EXPECT_EQ(beyond->value, 0);
  EXPECT_EQ(beyond->error_state, 0);
}

TEST_F(BatchedReads, EachAddressSpaceHasItsOwnGroupAndFunction) {
  link.set(AddressType::DiscreteInput, 3, 1);
  link.set(AddressType::InputRegister, 256, 0xFFFF);
  link.set(AddressType::HoldingRegister, 512, 6);
  auto input_bit = attach("di", AddressType::DiscreteInput, 3);
  auto input = attach("ir", AddressType::InputRegister, 256);
  auto holding = attach("hr", AddressType::HoldingRegister, 512);
  auto unknown = attach("odd", static_cast<AddressType>(7), 1);
  EXPECT_TRUE(device.hasSignals());
  for (int pass = 0; pass < 10; ++pass) device.readAllSignals(kPollPeriod);
  EXPECT_EQ(link.requestCount(2, 3, 1), 1);
  EXPECT_EQ(link.requestCount(kReadInput, 256, 1), 1);
  EXPECT_EQ(link.requestCount(kReadHolding, 512, 1), 1);
  EXPECT_EQ(link.requestCount(), 3);
  EXPECT_EQ(input_bit->value, 1);
  EXPECT_EQ(input->value, 0xFFFF);
  EXPECT_EQ(holding->value, 6);
  EXPECT_EQ(unknown->error_state, 0);  // attached, never touched
}

TEST_F(BatchedReads, RejectedAddressInsideARunCyclesBetweenProbeAndRegroup) {
  link.set(AddressType::HoldingRegister, 0, 10);
  link.set(AddressType::HoldingRegister, 2, 20);
  link.rejectAddress(1, 2, kReadHolding);
  auto low = attach("a0", AddressType::HoldingRegister, 0);
  auto bad = attach("a1", AddressType::HoldingRegister, 1);
  auto high = attach("a2", AddressType::HoldingRegister, 2);
  pollPasses(device, 10);
  EXPECT_EQ(link.requestCount(kReadHolding, 0, 3), 1);
  EXPECT_EQ(low->error_state, 2);
  EXPECT_EQ(bad->error_state, 2);
  EXPECT_EQ(high->error_state, 2);
  // The probes every 0.1 s let 0 and 2 back; their group spans 1 again and
  // fails again 0.09 s later.
  pollPasses(device, 100);
  EXPECT_EQ(link.requestCount(kReadHolding, 0, 3), 10);
  EXPECT_EQ(link.requestCount(kReadHolding, 1, 1), 10);
  EXPECT_EQ(bad->error_state, 2);
  EXPECT_EQ(low->value, 0);
  EXPECT_EQ(high->value, 0);
}

// A joystick that serves only the coils it documents (0..3, 16, 17) refuses
// the run 0..17 for its gaps (illegal data address), while each signal reads
// alone: the run is then read as the runs that have signals, after one
// Warning, until the connection is made anew. Without that the probes let
// the signals back, the regroup spans the gaps again and fails again,
// forever, and the joystick never jogs.
TEST_F(BatchedReads, RunRefusedForItsGapsIsReadAsTheRunsThatHaveSignals) {
  link.rejectAddresses(4, 15, kModbusIllegalAddress, kReadCoils);
  std::vector<std::unique_ptr<ModbusSignal>> coils;
  for (int address : {0, 1, 2, 3, 16, 17}) {
    link.set(AddressType::Coil, address, 1);
    coils.push_back(attach("coil_" + std::to_string(address), AddressType::Coil, address));
  }
  pollPasses(device, 10);
  EXPECT_EQ(link.requestCount(kReadCoils, 0, 18), 1);
  pollPasses(device, 100);  // the probes, then 0.9 s of reads
  EXPECT_EQ(link.requestCount(kReadCoils, 0, 18), 1);
  EXPECT_EQ(link.requestCount(kReadCoils, 0, 4), 9);
  EXPECT_EQ(link.requestCount(kReadCoils, 16, 2), 9);
  for (const auto& coil : coils) {
    EXPECT_EQ(coil->value, 1) << coil->name;
    EXPECT_EQ(coil->error_state, 0) << coil->name;
  }
  EXPECT_EQ(log.countContaining("Modbus slave 2 at /dev/ttyUSB0 refuses coils 0 to 17 in one "
                                "request (illegal data address), although its signals read "
                                "alone; reading 0 to 3, 16 to 17 instead while connected"),
            1);
  EXPECT_EQ(log.messages(kLogWarning).size(), 1u);

  // A new connection may be to another slave: the whole run is tried again.
  device.close();
  device.reconnect();
  pollPasses(device, 10);
  EXPECT_EQ(link.requestCount(kReadCoils, 0, 18), 2);
}

// The exception illegal data value is the slave's answer, not a damaged
// reply: the run is not asked again.
TEST_F(BatchedReads, RejectedAddressAtTheEndOfARunLetsTheRestReturn) {
  link.set(AddressType::HoldingRegister, 0, 10);
  link.set(AddressType::HoldingRegister, 2, 20);
  link.rejectAddress(3, kModbusBadValueOrReply, kReadHolding);
  auto low = attach("a0", AddressType::HoldingRegister, 0);
  auto middle = attach("a1", AddressType::HoldingRegister, 1);
  auto high = attach("a2", AddressType::HoldingRegister, 2);
  auto bad = attach("a3", AddressType::HoldingRegister, 3);
  pollPasses(device, 40);
  EXPECT_EQ(low->error_state, 0);
  EXPECT_EQ(middle->error_state, 0);
  EXPECT_EQ(high->error_state, 0);
  EXPECT_EQ(bad->error_state, kModbusBadValueOrReply);
  EXPECT_EQ(low->value, 10);
  EXPECT_EQ(high->value, 20);
  EXPECT_EQ(link.requestCount(kReadHolding, 0, 4), 1);
  EXPECT_GE(link.requestCount(kReadHolding, 0, 3), 1);
}

TEST_F(BatchedReads, TooManyDataFallsBackToSingleReads) {
  link.set(AddressType::HoldingRegister, 0, 10);
  link.rejectAddress(2, 2, kReadHolding);
  auto low = attach("a0", AddressType::HoldingRegister, 0);
  auto high = attach("a2", AddressType::HoldingRegister, 2);
  pollPasses(device, 9);
  link.answerNext({kModbusTooManyData});  // to the batched request
  device.readAllSignals(kPollPeriod);
  EXPECT_EQ(low->error_state, 0);
  EXPECT_EQ(low->value, 10);
  EXPECT_EQ(high->error_state, 2);
  EXPECT_EQ(link.requestCount(kReadHolding, 0, 1) + link.requestCount(kReadHolding, 2, 1), 2);
  // The failed single read asks for a regroup; the good one did not fail.
  device.checkIfRegroupNeeded();
  pollPasses(device, 10);
  EXPECT_EQ(link.requestCount(kReadHolding, 0, 1), 2);
}

TEST_F(BatchedReads, DeletingTheOnlySignalOfARunDropsIt) {
  auto first = attach("a", AddressType::Coil, 0);
  auto second = attach("b", AddressType::Coil, 5);
  EXPECT_EQ(device.deleteSignal("b"), 0);
  EXPECT_EQ(device.deleteSignal("b"), -1);
  pollPasses(device, 10);
  EXPECT_EQ(link.requestCount(kReadCoils, 0, 1), 1);
  EXPECT_EQ(device.deleteSignal("a"), 0);
  EXPECT_FALSE(device.hasSignals());
  pollPasses(device, 20);
  EXPECT_EQ(link.requestCount(), 1);
}

TEST_F(BatchedReads, ConnectionLostInAGroupReadMarksTheRunAndStopsTheRest) {
  auto coil = attach("c", AddressType::Coil, 0);
  auto holding = attach("h", AddressType::HoldingRegister, 0);
  pollPasses(device, 9);
  link.answerNext({kModbusNotConnected});
  pollPass(device);
  EXPECT_FALSE(device.isConnected());
  EXPECT_EQ(coil->error_state, -2);
  EXPECT_EQ(holding->error_state, -2);  // the link refuses once it is lost
  // Disconnected: every signal is marked, and nothing is sent.
  pollPasses(device, 10);
  EXPECT_EQ(device.readAllSignals(kPollPeriod), -1);
  EXPECT_EQ(coil->error_state, 3);
  EXPECT_EQ(holding->error_state, 3);
  EXPECT_EQ(link.requestCount(), 1);
}

TEST_F(BatchedReads, OutOfRangeAddressIsReportedAndNeverSent) {
  auto wide = attach("wide", AddressType::HoldingRegister, 70000);
  auto negative = attach("negative", AddressType::Coil, -1, ModbusSignal::kNotYetRead);
  wide->setOutput(1);
  negative->setOutput(1);
  EXPECT_EQ(wide->error_state, 2);
  // Each said once, the one added in error (not yet read) too.
  EXPECT_EQ(log.countContaining("Modbus signal {} address {} is outside 0..65535"), 2);
  pollPasses(device, 30);
  EXPECT_EQ(link.requestCount(), 0);
  EXPECT_EQ(log.countContaining("Modbus signal {} address {} is outside 0..65535"), 2);
}

}  // namespace
}  // namespace velk::zorv_control
