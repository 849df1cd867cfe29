#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/log_level.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "host_rig/thread_probe.h"
#include "joystick_sim/pty_pair.h"
#include "joystick_sim/rtu_slave.h"
#include "joystick_sim/tcp_slave.h"
#include "modbus_wrapper/registry_test_kit.h"
#include "support/tcp_device_log.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using velk::host_rig::ThreadProbe;
using velk::host_rig::timing::waitFor;
using velk::joystick_sim::PtyPair;
using velk::joystick_sim::RtuSlave;
using velk::joystick_sim::TcpSlave;
using namespace velk::test;
using velk::zorv_control::ModbusWrapperImpl;

using PollThread = RegistryTest;

int writesTo(const TcpSlave& slave, int address) {
  int count = 0;
  for (const auto& write : slave.writes()) count += write.address == address ? 1 : 0;
  return count;
}

TEST_F(PollThread, RunsUnderANameLinuxAccepts) {
  EXPECT_TRUE(
      waitFor([] { return ThreadProbe::countNamed("RockerModbusCli") == 1; }, milliseconds(2000)));
}

TEST_F(PollThread, SignalsOnAnUnreachableDeviceComeAliveOnceTheSlaveAppears) {
  TcpSlave slave;
  slave.setInputRegister(256, 65535);
  slave.stopListening();
  const auto added = steady_clock::now();
  registry.modbusAddSignal(slave.deviceInfo(), 2, 256, kInputRegister, "axis_x");
  registry.modbusAddSignal(slave.deviceInfo(), 2, 20, kHoldingRegister, "indicator");
  // Both before any pass could write: only the last one may go out.
  registry.modbusSetOutputSignal("indicator", 111);
  registry.modbusSetOutputSignal("indicator", 222);
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(registry.modbusGetSignalErrors(), (std::vector<int>{2, 2}));
  ASSERT_TRUE(slave.startListening());

  ASSERT_TRUE(valueBecomes("axis_x", 65535));
  EXPECT_EQ(registry.modbusGetSignalStatus("axis_x"), 65535);
  EXPECT_EQ(snapshotError(registry, "axis_x"), 0);
  EXPECT_EQ(log.count(velk::kLogInfo, connectedText(slave)), 1);
  // Connection attempts are a hundred-odd 10 ms passes apart, not a busy loop.
  EXPECT_GE(steady_clock::now() - added, milliseconds(900));

  ASSERT_TRUE(waitFor([&] { return slave.holdingRegister(20) == 222; }, milliseconds(3000)));
  for (const auto& write : slave.writes()) EXPECT_EQ(write.value, 222);
}

TEST_F(PollThread, ValuesAreReadAndOutputsWrittenUntilConfirmed) {
  TcpSlave slave;
  slave.setInputRegister(3, 777);
  const std::string info = slave.deviceInfo();
  registry.modbusAddSignal(info, 2, 3, kInputRegister, "stick");
  registry.modbusAddSignal(info, 2, 10, kHoldingRegister, "indicator");
  registry.modbusAddSignal(info, 2, 4, kCoil, "lamp");
  registry.modbusSetOutputSignal("indicator", 0x1234);
  registry.modbusSetOutputSignal("lamp", 1);

  ASSERT_TRUE(
      waitFor([&] { return slave.holdingRegister(10) == 0x1234 && slave.coil(4); }, kConnectWait));
  ASSERT_TRUE(waitFor(
      [&] {
        return snapshotValue(registry, "indicator") == 0x1234 &&
               snapshotValue(registry, "lamp") == 1 && snapshotValue(registry, "stick") == 777;
      },
      milliseconds(3000)));
  // Read back equal to the output: no longer pending, so the writes stop.
  std::this_thread::sleep_for(milliseconds(150));
  const int writes = writesTo(slave, 10);
  std::this_thread::sleep_for(milliseconds(400));
  EXPECT_EQ(writesTo(slave, 10), writes);

  slave.setInputRegister(3, 778);
  EXPECT_TRUE(valueBecomes("stick", 778, milliseconds(3000)));
}

TEST_F(PollThread, SnapshotHoldsWhatTheFourQueriesReturn) {
  TcpSlave slave;
  slave.setInputRegister(3, 0xFFFF);
  slave.setCoil(4, true);
  registry.modbusAddSignal(slave.deviceInfo(), 2, 3, kInputRegister, "stick");
  registry.modbusAddSignal(slave.deviceInfo(), 2, 4, kCoil, "lamp");
  registry.modbusAddSignal("/nonexistent/rocker-line", 2, 5, kCoil, "absent_signal_name");
  ASSERT_TRUE(valueBecomes("stick", 0xFFFF));

  velk::zorv_control::SignalSnapshot snapshot;
  for (int round = 0; round < 2; ++round) {
    const auto before = registry.modbusGetSignalReadTimes();
    registry.modbusGetSignalSnapshot(snapshot);
    const auto after = registry.modbusGetSignalReadTimes();
    EXPECT_EQ(snapshot.names, registry.modbusGetSignalNames());
    EXPECT_EQ(snapshot.values, registry.modbusGetSignalValues());
    EXPECT_EQ(snapshot.errors, registry.modbusGetSignalErrors());
    ASSERT_EQ(snapshot.read_times.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
      EXPECT_LE(before[i], snapshot.read_times[i]) << snapshot.names[i];
      EXPECT_LE(snapshot.read_times[i], after[i]) << snapshot.names[i];
    }
  }
  EXPECT_EQ(snapshot.values, (std::vector<int>{0, 1, 0xFFFF}));
  EXPECT_EQ(snapshot.read_times[0], steady_clock::time_point());

  // A smaller table shrinks the snapshot; what is left keeps its room.
  const std::string* names = snapshot.names.data();
  registry.modbusDeleteSignal("absent_signal_name");
  registry.modbusGetSignalSnapshot(snapshot);
  EXPECT_EQ(snapshot.names, (std::vector<std::string>{"lamp", "stick"}));
  EXPECT_EQ(snapshot.read_times.size(), 2u);
  EXPECT_EQ(snapshot.names.data(), names);
}

TEST_F(PollThread, MovedSignalKeepsItsStateAndIsReadFromItsNewDevice) {
  TcpSlave first;
  TcpSlave second;
  first.setHoldingRegister(7, 42);
  second.setHoldingRegister(7, 77);
  second.stopListening();
  registry.modbusAddSignal(first.deviceInfo(), 2, 7, kHoldingRegister, "speed");
  ASSERT_TRUE(valueBecomes("speed", 42));

  registry.modbusAddSignal(second.deviceInfo(), 2, 7, kHoldingRegister, "speed");
  // The new device is not reachable yet: what was read before stays.
  EXPECT_EQ(snapshotValue(registry, "speed"), 42);
  EXPECT_EQ(snapshotError(registry, "speed"), 0);
  EXPECT_TRUE(
      waitForLog(log, velk::kLogInfo, pruneMessage(first.deviceName()), milliseconds(3000)));

  ASSERT_TRUE(second.startListening());
  EXPECT_TRUE(valueBecomes("speed", 77));
}

TEST_F(PollThread, InPlaceUpdateReadsTheNewAddressAndType) {
  TcpSlave slave;
  slave.setHoldingRegister(10, 42);
  slave.setHoldingRegister(11, 43);
  slave.setInputRegister(11, 99);
  const std::string info = slave.deviceInfo();
  registry.modbusAddSignal(info, 2, 10, kHoldingRegister, "gauge");
  ASSERT_TRUE(valueBecomes("gauge", 42));
  registry.modbusAddSignal(info, 2, 11, kHoldingRegister, "gauge");
  EXPECT_TRUE(valueBecomes("gauge", 43, milliseconds(3000)));
  registry.modbusAddSignal(info, 2, 11, kInputRegister, "gauge");
  EXPECT_TRUE(valueBecomes("gauge", 99, milliseconds(3000)));
  EXPECT_EQ(snapshotError(registry, "gauge"), 0);
}

TEST_F(PollThread, EmptiedDeviceIsClosedAndALaterAddMakesANewOne) {
  TcpSlave slave;
  slave.setCoil(1, true);
  registry.modbusAddSignal(slave.deviceInfo(), 2, 1, kCoil, "lamp");
  ASSERT_TRUE(valueBecomes("lamp", 1));

  registry.modbusDeleteSignal("lamp");
  ASSERT_TRUE(
      waitForLog(log, velk::kLogInfo, pruneMessage(slave.deviceName()), milliseconds(3000)));
  EXPECT_TRUE(waitForLog(log, velk::kLogInfo, closedText(slave), milliseconds(1000)));
  EXPECT_EQ(registry.getModbusDeviceByName(slave.deviceName()), nullptr);

  registry.modbusAddSignal(slave.deviceInfo(), 2, 1, kCoil, "lamp");
  EXPECT_NE(registry.getModbusDeviceByName(slave.deviceName()), nullptr);
  EXPECT_TRUE(waitForLog(log, velk::kLogInfo, connectedText(slave), kConnectWait, 2));
  EXPECT_TRUE(valueBecomes("lamp", 1, milliseconds(3000)));
}

TEST(PollThreadShutdown, DestructionReturnsOnlyAfterThePassInProgress) {
  TcpSlave slave;
  LogCapture log;
  auto registry = std::make_unique<ModbusWrapperImpl>(log.callback());
  registry->modbusAddSignal(slave.deviceInfo(), 2, 5, kHoldingRegister, "gauge");
  ASSERT_TRUE(waitFor([&] { return snapshotError(*registry, "gauge") == 0; }, kConnectWait));

  slave.setReplyDelay(milliseconds(400));
  slave.clearLog();
  ASSERT_TRUE(slave.waitForRequests(1, milliseconds(3000)));
  const auto destroying = steady_clock::now();
  registry.reset();
  // The request in flight is answered 400 ms after it arrived; the pass, its
  // sleep and only then the close come after it.
  EXPECT_GE(steady_clock::now() - destroying, milliseconds(250));
  EXPECT_EQ(log.count(velk::kLogInfo, closedText(slave)), 1);
  const int requests = slave.requestCount();
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_EQ(slave.requestCount(), requests);
}

// A joystick set to another slave number is connected but never answers.
// Its sixteen probes then cost one response time-out per pass, not one
// each: removing a signal and releasing the registry wait for at most one
// time-out and a pass.
TEST(PollThreadShutdown, SilentSlaveHoldsRemovalAndReleaseForOneTimeOutAtMost) {
  using velk::host_rig::timing::scaled;
  TcpSlave slave;
  slave.setSilentToOtherUnits(true);
  LogCapture log;
  auto registry = std::make_unique<ModbusWrapperImpl>(log.callback());
  for (int address = 0; address < 16; ++address) {
    registry->modbusAddSignal(slave.deviceInfo(), 3, address, kHoldingRegister,
                              "signal_" + std::to_string(100 + address));
  }
  const std::string silent = "Modbus slave 3 at " + slave.deviceName() +
                             " does not answer (no reply within 1000 ms): check its slave "
                             "number, baud rate and wiring";
  ASSERT_TRUE(waitForLog(log, velk::kLogWarning, silent, kConnectWait));
  const auto bound = scaled(2 * (milliseconds(1000) + milliseconds(100)));
  auto started = steady_clock::now();
  EXPECT_EQ(registry->modbusDeleteSignal("signal_100"), 0);
  EXPECT_LE(steady_clock::now() - started, bound);
  started = steady_clock::now();
  registry.reset();
  EXPECT_LE(steady_clock::now() - started, bound);
  EXPECT_EQ(log.countContaining("does not answer"), 1);
}

TEST(PollThreadOverRtu, RawRequestsKeepTheirDeviceUntilSentOverRtu) {
  PtyPair line;
  RtuSlave slave(line.slavePath());
  LogCapture log;
  ModbusWrapperImpl registry(log.callback());
  const std::string info = line.deviceInfo();
  registry.modbusSendCustomCommand(info, 2, 3, {0, 5, 0, 2});
  // The device exists now and keeps its own slave number; this request's unit
  // 258 goes out as its low byte, 2, the only unit this slave answers.
  registry.modbusSendCustomCommand(info, 258, 4, {0, 6, 0, 1});
  // Not connected for its first hundred-odd passes, yet kept for the requests.
  std::this_thread::sleep_for(milliseconds(400));
  EXPECT_EQ(log.count(velk::kLogInfo, pruneMessage(line.devicePath())), 0);
  EXPECT_NE(registry.getModbusDeviceByName(line.devicePath()), nullptr);

  ASSERT_TRUE(slave.waitForRequests(2, kConnectWait));
  EXPECT_EQ(slave.requestCount(3, 5, 2), 1);
  EXPECT_EQ(slave.requestCount(4, 6, 1), 1);
  EXPECT_TRUE(waitForLog(log, velk::kLogInfo, pruneMessage(line.devicePath()), milliseconds(3000)));
  EXPECT_TRUE(waitForLog(log, velk::kLogInfo, "Modbus device {} closed. " + line.devicePath(),
                         milliseconds(1000)));
}

TEST(PollThreadOverRtu, SerialDeviceReadsAndWrites) {
  PtyPair line;
  RtuSlave slave(line.slavePath());
  slave.setInputRegister(256, 512);
  LogCapture log;
  ModbusWrapperImpl registry(log.callback());
  const std::string info = line.deviceInfo();
  registry.modbusAddSignal(info, 2, 256, kInputRegister, "axis_x");
  registry.modbusAddSignal(info, 2, 0, kCoil, "lamp");
  registry.modbusSetOutputSignal("lamp", 1);
  EXPECT_TRUE(waitFor([&] { return snapshotValue(registry, "axis_x") == 512 && slave.coil(0); },
                      kConnectWait));
}

}  // namespace
