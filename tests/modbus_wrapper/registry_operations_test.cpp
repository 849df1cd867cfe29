#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/log_level.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "modbus_wrapper/registry_test_kit.h"

namespace {

using std::chrono::milliseconds;
using velk::kLogError;
using velk::kLogInfo;
using velk::kLogWarning;
using velk::host_rig::timing::waitFor;
using namespace velk::test;

// Serial lines that do not exist: the poll thread's connection attempts fail
// locally, nothing goes on any wire.
const std::string kLineA = "/nonexistent/rocker-line-a";
const std::string kLineB = "/nonexistent/rocker-line-b";
const std::string kInfoA = kLineA + ",115200,N,8,1";
const std::string kInfoA9600 = kLineA + ",9600,E,8,1";
const std::string kInfoB = kLineB + ",115200,N,8,1";

std::string addMessage(const std::string& name, const std::string& info, int type, int address) {
  return "Add/Update Modbus signal {}(@{} type: {} address: {}) " + name + " " + info + " " +
         std::to_string(type) + " " + std::to_string(address);
}

// What the operations themselves logged: the poll thread may prune a device
// (and say so) at any moment in between.
std::vector<std::string> operationMessages(const LogCapture& log) {
  std::vector<std::string> result;
  for (const std::string& message : log.messages()) {
    if (message.rfind("Modbus device ", 0) != 0) result.push_back(message);
  }
  return result;
}

class RegistryOperations : public RegistryTest {
 protected:
  bool attachedTo(const std::string& device) {
    // Only dereferenced while it has a signal, which keeps it from being pruned.
    velk::zorv_control::ModbusDevice* found = registry.getModbusDeviceByName(device);
    return found != nullptr && found->hasSignals();
  }
  bool pruned(const std::string& device) {
    return waitFor([&] { return registry.getModbusDeviceByName(device) == nullptr; },
                   milliseconds(5000));
  }
};

TEST_F(RegistryOperations, AddRegistersTheSignalWithFreshState) {
  EXPECT_EQ(registry.modbusAddSignal(kInfoA, 2, 256, kInputRegister, "axis_x"), 0);
  EXPECT_EQ(log.count(kLogInfo, addMessage("axis_x", kInfoA, kInputRegister, 256)), 1);
  EXPECT_EQ(registry.modbusGetSignalNames(), std::vector<std::string>{"axis_x"});
  EXPECT_EQ(registry.modbusGetSignalTypes(), std::vector<int>{kInputRegister});
  EXPECT_EQ(registry.modbusGetSignalValues(), std::vector<int>{0});
  // Not read once yet: kept out of the read groups until a probe succeeds.
  EXPECT_EQ(registry.modbusGetSignalErrors(), std::vector<int>{2});
  EXPECT_TRUE(attachedTo(kLineA));
}

TEST_F(RegistryOperations, RefusalsChangeNothing) {
  EXPECT_EQ(registry.modbusAddSignal(kInfoA, 2, 1, kCoil, ""), 0);
  EXPECT_EQ(log.count(kLogWarning, "modbusAddSignal FAILED: signal name is empty."), 1);
  EXPECT_TRUE(registry.modbusGetSignalNames().empty());
  EXPECT_EQ(registry.getModbusDeviceByName(kLineA), nullptr);

  registry.modbusAddSignal(kInfoA, 2, 1, kCoil, "light");
  // Same place, other slave number and line settings: still the same signal.
  EXPECT_EQ(registry.modbusAddSignal(kInfoA9600, 7, 1, kCoil, "light"), 0);
  EXPECT_EQ(log.count(kLogWarning, "Cannot add Modbus signal ({}) Already exists. light"), 1);
  EXPECT_EQ(log.count(kLogInfo, addMessage("light", kInfoA9600, kCoil, 1)), 0);

  EXPECT_EQ(registry.modbusDeleteSignal("nobody"), -1);
  EXPECT_EQ(
      log.count(kLogWarning, "Modbus signal {} remove failed, because it is not exist.nobody"), 1);
  EXPECT_EQ(registry.modbusSetSignalUpdateFrequency("light", 0), -1);
  EXPECT_EQ(registry.modbusSetSignalUpdateFrequency("light", -5), -1);
  EXPECT_EQ(log.count(kLogError, "Frequency cannot be less than 0"), 2);
  const size_t before = log.entries().size();
  EXPECT_EQ(registry.modbusSetSignalUpdateFrequency("nobody", 20), 0);
  EXPECT_EQ(registry.modbusSetSignalUpdateFrequency("light", 20), 0);
  EXPECT_EQ(log.entries().size(), before);

  EXPECT_EQ(registry.modbusGetSignalStatus("nobody"), 0);
  EXPECT_EQ(
      log.count(kLogError, "modbusGetSignalStatus error: modbus {} signal not exist ! nobody"), 1);
  EXPECT_EQ(registry.modbusSetOutputSignal("nobody", 1), -1);
  EXPECT_EQ(log.count(kLogError, "Modbus signal({}) not exist when set output ! nobody"), 1);
  EXPECT_EQ(registry.modbusGetSignalNames(), std::vector<std::string>{"light"});
}

TEST_F(RegistryOperations, ReAddOnTheSameDeviceUpdatesAddressAndTypeInPlace) {
  registry.modbusAddSignal(kInfoA, 2, 5, kCoil, "lamp");
  log.clear();
  // Other baud and parity name the same device.
  EXPECT_EQ(registry.modbusAddSignal(kInfoA9600, 2, 7, kHoldingRegister, "lamp"), 0);
  const std::vector<std::string> expected = {
      "Move Modbus signal({}) address changed from {} to {}lamp  5 7",
      "Move Modbus signal({})  type changed from {} to {} lamp 1 3"};
  EXPECT_EQ(operationMessages(log), expected);
  EXPECT_EQ(registry.modbusGetSignalTypes(), std::vector<int>{kHoldingRegister});
  EXPECT_TRUE(attachedTo(kLineA));

  log.clear();
  registry.modbusAddSignal(kInfoA, 2, 7, kCoil, "lamp");
  EXPECT_EQ(log.messages(), std::vector<std::string>{
                                "Move Modbus signal({})  type changed from {} to {} lamp 3 1"});
}

TEST_F(RegistryOperations, SameAddressOnAnotherDeviceMovesTheSignal) {
  registry.modbusAddSignal(kInfoA, 2, 5, kCoil, "lamp");
  log.clear();
  EXPECT_EQ(registry.modbusAddSignal(kInfoB, 2, 5, kCoil, "lamp"), 0);
  const std::vector<std::string> expected = {
      "Move Modbus signal({}) from modbus device({}) to modbus device({}) lamp " + kLineA + " " +
          kLineB,
      addMessage("lamp", kInfoB, kCoil, 5)};
  EXPECT_EQ(operationMessages(log), expected);
  EXPECT_TRUE(attachedTo(kLineB));
  // Left without signals, the old device goes on the next poll pass.
  EXPECT_TRUE(waitForLog(log, velk::kLogInfo, pruneMessage(kLineA), milliseconds(5000)));
  EXPECT_TRUE(pruned(kLineA));
  EXPECT_TRUE(attachedTo(kLineB));
}

TEST_F(RegistryOperations, OtherAddressOnAnotherDeviceReplacesTheSignal) {
  registry.modbusAddSignal(kInfoA, 2, 5, kCoil, "lamp");
  log.clear();
  registry.modbusAddSignal(kInfoB, 2, 6, kCoil, "lamp");
  const std::vector<std::string> expected = {"Modbus signal {} removed. lamp",
                                             addMessage("lamp", kInfoB, kCoil, 6)};
  EXPECT_EQ(operationMessages(log), expected);
  EXPECT_EQ(registry.modbusGetSignalErrors(), std::vector<int>{2});
  EXPECT_TRUE(attachedTo(kLineB));
  EXPECT_TRUE(pruned(kLineA));
}

TEST_F(RegistryOperations, DeleteRemovesOneSignalAndItsDeviceGoesWhenEmpty) {
  registry.modbusAddSignal(kInfoA, 2, 1, kCoil, "one");
  registry.modbusAddSignal(kInfoA, 2, 2, kCoil, "two");
  EXPECT_EQ(registry.modbusDeleteSignal("one"), 0);
  EXPECT_EQ(log.count(kLogInfo, "Modbus signal {} removed. one"), 1);
  EXPECT_EQ(registry.modbusGetSignalNames(), std::vector<std::string>{"two"});
  EXPECT_TRUE(attachedTo(kLineA));
  EXPECT_EQ(registry.modbusDeleteSignal("two"), 0);
  EXPECT_TRUE(waitForLog(log, velk::kLogInfo, pruneMessage(kLineA), milliseconds(5000)));
  EXPECT_TRUE(pruned(kLineA));
}

TEST_F(RegistryOperations, DeleteAllEmptiesTheTableAndAlwaysAnswersMinusOne) {
  EXPECT_EQ(registry.modbusDeleteAllSignals(), -1);
  EXPECT_TRUE(log.entries().empty());
  registry.modbusAddSignal(kInfoA, 2, 1, kCoil, "b_one");
  registry.modbusAddSignal(kInfoB, 2, 2, kCoil, "a_two");
  log.clear();
  EXPECT_EQ(registry.modbusDeleteAllSignals(), -1);
  const std::vector<std::string> expected = {"Modbus signal {} removed.a_two",
                                             "Modbus signal {} removed.b_one"};
  EXPECT_EQ(operationMessages(log), expected);
  EXPECT_TRUE(registry.modbusGetSignalNames().empty());
  EXPECT_TRUE(pruned(kLineA));
  EXPECT_TRUE(pruned(kLineB));
}

TEST_F(RegistryOperations, QueriesListSignalsInByteOrderWithMatchingIndexes) {
  EXPECT_TRUE(registry.modbusGetSignalNames().empty());
  EXPECT_TRUE(registry.modbusGetSignalValues().empty());
  registry.modbusAddSignal(kInfoA, 2, 3, kHoldingRegister, "beta");
  registry.modbusAddSignal(kInfoB, 2, 1, kCoil, "alpha");
  registry.modbusAddSignal(kInfoA, 2, 2, kInputRegister, "Zeta");
  EXPECT_EQ(registry.modbusGetSignalNames(), (std::vector<std::string>{"Zeta", "alpha", "beta"}));
  EXPECT_EQ(registry.modbusGetSignalTypes(),
            (std::vector<int>{kInputRegister, kCoil, kHoldingRegister}));
  EXPECT_EQ(registry.modbusGetSignalErrors(), (std::vector<int>{2, 2, 2}));
  EXPECT_EQ(registry.modbusGetSignalStatus("alpha"), 0);
}

TEST_F(RegistryOperations, OutputIsLeftForAKnownSignal) {
  registry.modbusAddSignal(kInfoA, 2, 3, kHoldingRegister, "lamp");
  EXPECT_EQ(registry.modbusSetOutputSignal("lamp", 0xFFFF), 0);
  EXPECT_EQ(log.entries().size(), 1u);
}

TEST_F(RegistryOperations, CustomCommandCreatesTheDeviceAndQueuesOneRequest) {
  EXPECT_EQ(registry.modbusSendCustomCommand(kInfoA, 2, 6, {0, 1, 0, 9}), 0);
  velk::zorv_control::ModbusDevice* device = registry.getModbusDeviceByName(kLineA);
  ASSERT_NE(device, nullptr);
  // The line does not exist, so the request waits and keeps its device.
  EXPECT_TRUE(device->hasRawRequests());
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(log.count(velk::kLogInfo, pruneMessage(kLineA)), 0);
  EXPECT_EQ(registry.getModbusDeviceByName(kLineA), device);
}

}  // namespace
