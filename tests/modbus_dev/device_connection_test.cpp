#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "common/log_level.h"
#include "communication/modbus_dev/modbus_device.h"
#include "host_rig/rig_timing.h"
#include "joystick_sim/mangling_tcp_proxy.h"
#include "joystick_sim/pty_pair.h"
#include "joystick_sim/raw_tcp_responder.h"
#include "joystick_sim/reply_mangling.h"
#include "joystick_sim/rtu_slave.h"
#include "joystick_sim/serial_line_tap.h"
#include "joystick_sim/tcp_slave.h"
#include "modbus_dev/device_test_kit.h"
#include "support/log_capture.h"
#include "support/tcp_device_log.h"

namespace velk::zorv_control {
namespace {

using testkit::kResponseTimeoutMs;
using testkit::kUnit;
using velk::joystick_sim::TcpSlave;
using velk::test::closedText;
using velk::test::connectedText;
using velk::test::LogCapture;

class TcpConnection : public ::testing::Test {
 protected:
  LogCapture log;
  TcpSlave slave;
  ModbusDevice device{log.callback(), slave.host(), slave.port(), kUnit, kResponseTimeoutMs};
};

TEST_F(TcpConnection, ConnectLogsTheSlaveAndEachCloseLogsTheDeviceOnce) {
  EXPECT_EQ(device.getPort(), slave.port());
  EXPECT_FALSE(device.isConnected());
  ASSERT_EQ(device.connect(), 0);
  EXPECT_TRUE(device.isConnected());
  EXPECT_EQ(log.entries().front().level, kLogInfo);
  // Connecting again closes the old context first.
  ASSERT_EQ(device.connectTcp("127.0.0.1", slave.port(), kUnit, kResponseTimeoutMs), 0);
  EXPECT_EQ(log.messages(), (std::vector<std::string>{connectedText(slave), closedText(slave)}));
  EXPECT_TRUE(device.isConnected());

  device.close();
  device.close();
  EXPECT_FALSE(device.isConnected());
  EXPECT_EQ(log.count(kLogInfo, closedText(slave)), 2);
  EXPECT_EQ(log.entries().size(), 3u);

  // Destroyed while connected: the close is logged, the signals stay.
  auto signal = testkit::makeSignal("s", AddressType::Coil, 0);
  {
    ModbusDevice doomed(log.callback(), slave.host(), slave.port(), kUnit, kResponseTimeoutMs);
    ASSERT_EQ(doomed.connect(), 0);
    doomed.addSignal(signal.get());
  }
  EXPECT_EQ(log.count(kLogInfo, closedText(slave)), 3);
  EXPECT_EQ(signal->name, "s");  // still a live object (ASan would object otherwise)
}

// The port is the slave's own, closed: chosen by the kernel at run time.
TEST_F(TcpConnection, ReconnectAttemptsOnEvery102ndCallAndSaysWhyOncePerReason) {
  const std::string refused =
      "Cannot connect to Modbus slave 127.0.0.1:" + std::to_string(slave.port()) +
      ": Connection refused";
  slave.stopListening();
  int failures = 0;
  for (int call = 1; call <= 204; ++call) {
    const int result = device.reconnect();
    if (result != 0) {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(call % 102, 0) << call;
      ++failures;
    }
  }
  EXPECT_EQ(failures, 2);
  EXPECT_FALSE(device.isConnected());
  EXPECT_EQ(device.connectionProblem(), "Connection refused");
  // A failed attempt releases its context, so the next one has nothing to
  // close; the reason is said once for both.
  EXPECT_EQ(log.messages(), std::vector<std::string>{refused});
  // No context: each request says so, before it looks at its count.
  std::array<uint16_t, 4> registers{};
  std::array<uint8_t, 4> bits{};
  EXPECT_EQ(device.readRegisters(0, 0, registers.data()), -1);
  EXPECT_EQ(device.readInputBits(0, 1, bits.data()), -1);
  EXPECT_EQ(device.writeBit(0, 1), -1);
  const std::array<uint8_t, 6> raw{2, 3, 0, 0, 0, 1};
  EXPECT_EQ(device.sendRawRequest(raw.data(), static_cast<int>(raw.size())), -1);
  EXPECT_EQ(log.count(kLogError, "modbus no init !"), 4);

  ASSERT_TRUE(slave.startListening());
  for (int call = 1; call <= 101; ++call) ASSERT_EQ(device.reconnect(), 0) << call;
  EXPECT_EQ(slave.connectionsAccepted(), 0);
  EXPECT_EQ(device.reconnect(), 0);
  EXPECT_TRUE(device.isConnected());
  EXPECT_EQ(device.connectionProblem(), "");
  EXPECT_EQ(log.count(kLogInfo, connectedText(slave)), 1);
  // Lost again after it was back: said again.
  device.close();
  slave.stopListening();
  EXPECT_EQ(device.connect(), -1);
  EXPECT_EQ(log.count(kLogWarning, refused), 2);
}

TEST_F(TcpConnection, RequestsThatCannotBeSentAreRefusedBeforeTheWireTheRestGoOut) {
  ASSERT_EQ(device.connect(), 0);
  std::array<uint16_t, 130> registers{};
  EXPECT_EQ(device.readRegisters(0, 0, registers.data()), 0);
  // More than a Modbus reply can carry: libmodbus refuses before sending.
  EXPECT_EQ(device.readRegisters(0, 126, registers.data()), -4);
  // Too short to be a request, or longer than one can be: a refusal, not a
  // broken link.
  const std::vector<uint8_t> too_short{2};
  const std::vector<uint8_t> too_long(MODBUS_MAX_PDU_LENGTH + 2, 2);
  for (const auto& raw : {too_short, too_long}) {
    EXPECT_EQ(device.sendRawRequest(raw.data(), static_cast<int>(raw.size())), -1);
  }
  EXPECT_EQ(log.countContaining("Raw Modbus request of {} bytes refused"), 2);
  EXPECT_TRUE(device.isConnected());
  EXPECT_EQ(slave.requestCount(), 0);

  // Sound ones reach the slave, and their replies do not spoil the next read.
  slave.setHoldingRegister(0, 5);
  slave.rejectAddress(1, 2, 6);
  const std::vector<uint8_t> raws[] = {
      {2, 3, 0, 0, 0, 1}, {2, 6, 0, 1, 0, 9} /* answered with an exception */, {2, 6, 0, 2, 0, 7}};
  for (const auto& raw : raws) device.sendRawRequest(raw.data(), static_cast<int>(raw.size()));
  EXPECT_EQ(slave.holdingRegister(2), 7);
  std::array<uint16_t, 1> value{};
  EXPECT_EQ(device.readRegisters(0, 1, value.data()), 0);
  EXPECT_EQ(value[0], 5);
}

TEST_F(TcpConnection, SlaveExceptionsAndTimeOutsKeepTheConnectionAndTheirMilliseconds) {
  ASSERT_EQ(device.connect(), 0);
  std::array<uint16_t, 1> value{};
  for (int code = 1; code <= 6; ++code) {
    slave.answerAllWithException(code);
    EXPECT_EQ(device.readRegisters(0, 1, value.data()), code);
    EXPECT_EQ(device.writeRegister(0, 1), code);
  }
  slave.clearFaults();
  slave.setSilent(true);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(device.readInputRegisters(0, 1, value.data()), 6);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  EXPECT_TRUE(device.isConnected());
  EXPECT_TRUE(log.messages(kLogWarning).empty());  // one time-out may be a lost reply
  EXPECT_EQ(device.readInputRegisters(0, 1, value.data()), 6);
  EXPECT_EQ(log.countContaining("Modbus slave 2 at 127.0.0.1:" + std::to_string(slave.port()) +
                                " does not answer (no reply within 200 ms)"),
            1);

  // 1500 ms must become 1 s + 500000 us: a reply after 1100 ms still counts.
  ModbusDevice patient(log.callback(), slave.host(), slave.port(), kUnit, 1500);
  ASSERT_EQ(patient.connect(), 0);
  slave.setSilent(false);
  slave.setReplyDelay(std::chrono::milliseconds(1100));
  slave.setHoldingRegister(7, 77);
  EXPECT_EQ(patient.readRegisters(7, 1, value.data()), 0);
  EXPECT_EQ(value[0], 77);
}

// Lost twice: to an exception libmodbus cannot read, and to a dropped
// connection.
TEST_F(TcpConnection, LostConnectionStopsRequestsAndTheNextAttemptLogsTheCloseFirst) {
  ASSERT_EQ(device.connect(), 0);
  slave.answerAllWithException(MODBUS_EXCEPTION_NEGATIVE_ACKNOWLEDGE);
  std::array<uint16_t, 1> value{};
  EXPECT_EQ(device.readRegisters(0, 1, value.data()), -2);
  EXPECT_FALSE(device.isConnected());
  EXPECT_EQ(log.count(kLogWarning, "Unkown errno({}): {}. Assume modbus unit disconnected" +
                                       std::to_string(EMBXNACK) + " " + modbus_strerror(EMBXNACK)),
            1);
  slave.clearFaults();
  const int requests = slave.requestCount();
  EXPECT_EQ(device.readRegisters(0, 1, value.data()), -2);
  EXPECT_EQ(device.writeBit(0, 1), -2);
  EXPECT_EQ(slave.requestCount(), requests);

  log.clear();
  for (int call = 0; call < 102; ++call) device.reconnect();
  EXPECT_TRUE(device.isConnected());
  EXPECT_EQ(log.messages(), (std::vector<std::string>{closedText(slave), connectedText(slave)}));
  EXPECT_EQ(device.readRegisters(0, 1, value.data()), 0);
  slave.dropClients();
  EXPECT_EQ(device.readRegisters(0, 1, value.data()), -2);
  EXPECT_FALSE(device.isConnected());
  EXPECT_EQ(log.countContaining("Assume modbus unit disconnected"), 1);
}

TEST_F(TcpConnection, ErrnoMappingTable) {
  const std::pair<int, int> table[] = {
      {0, 0},         {EMBXILFUN, 1},   {EMBXILADD, 2}, {EMBXILVAL, 3}, {EMBBADDATA, 3},
      {EMBBADCRC, 3}, {EMBBADSLAVE, 3}, {EMBBADEXC, 3}, {EMBUNKEXC, 3}, {EMBXSFAIL, 4},
      {EMBXACK, 5},   {EMBXSBUSY, 6},   {ETIMEDOUT, 6}, {EMBMDATA, -4},
  };
  ASSERT_EQ(device.connect(), 0);
  for (const auto& [error, result] : table) {
    errno = error;
    EXPECT_EQ(device.checkErrno(), result) << error;
    EXPECT_TRUE(device.isConnected()) << error;
  }
  log.clear();
  errno = EIO;
  EXPECT_EQ(device.checkErrno(), -2);
  EXPECT_FALSE(device.isConnected());
  EXPECT_TRUE(log.entries().empty());

  for (int error : {ECONNRESET, EPIPE, EBADF, EINVAL}) {
    errno = error;
    EXPECT_EQ(device.checkErrno(), -2);
    EXPECT_EQ(log.count(kLogWarning, "Unkown errno({}): {}. Assume modbus unit disconnected" +
                                         std::to_string(error) + " " + modbus_strerror(error)),
              1);
  }
}

TEST(OverlongReply, ReplyWithMoreDataThanAskedIsInvalidData) {
  velk::joystick_sim::RawTcpResponder odd(
      [](const velk::joystick_sim::RawTcpResponder::Frame& request) {
        return velk::joystick_sim::RawTcpResponder::readReplyWithExtraData(request, 2);
      });
  LogCapture log;
  ModbusDevice device(log.callback(), "127.0.0.1", odd.port(), kUnit, kResponseTimeoutMs);
  ASSERT_EQ(device.connect(), 0);
  auto a = testkit::makeSignal("a", AddressType::InputRegister, 256);
  auto b = testkit::makeSignal("b", AddressType::InputRegister, 258);
  device.addSignal(a.get());
  device.addSignal(b.get());
  testkit::pollPasses(device, 10);
  // libmodbus reports such a reply as invalid data, not as too many data.
  EXPECT_EQ(a->error_state, 3);
  EXPECT_EQ(b->error_state, 3);
  EXPECT_TRUE(device.isConnected());
  EXPECT_EQ(odd.requestCount(), 2);  // tried once more, as any damaged reply
}

TEST(ContextCreation, RefusedParametersSayWhyOncePerReason) {
  LogCapture log;
  ModbusDevice empty_host(log.callback(), "", 502, kUnit, kResponseTimeoutMs);
  ModbusDevice missing_line(log.callback(), "/nonexistent/ttyUSB9", 115200, 'N', 8, 1, kUnit,
                            kResponseTimeoutMs);
  ModbusDevice bad_parity(log.callback(), "/dev/null", 115200, 'X', 8, 1, kUnit,
                          kResponseTimeoutMs);
  for (ModbusDevice* device : {&empty_host, &missing_line, &bad_parity}) {
    EXPECT_EQ(device->connect(), -1);
    EXPECT_EQ(device->connect(), -1);
    EXPECT_FALSE(device->isConnected());
  }
  EXPECT_EQ(empty_host.connectTcp(nullptr, 502, kUnit, kResponseTimeoutMs), -1);
  EXPECT_EQ(log.count(kLogError, "create modbus new tcp failed !"), 1);
  EXPECT_EQ(log.countContaining("Cannot connect to Modbus slave :502: "), 1);
  EXPECT_EQ(log.count(kLogWarning,
                      "Cannot connect to Modbus slave /nonexistent/ttyUSB9: No such file or "
                      "directory"),
            1);
  EXPECT_EQ(log.count(kLogError, "create modbus new rtu failed !"), 1);
  EXPECT_EQ(log.countContaining("Cannot connect to Modbus slave /dev/null: Invalid argument"), 1);
  EXPECT_EQ(log.entries().size(), 5u);
}

TEST(RtuConnection, ConnectsReadsAndClosesOverAPseudoTerminal) {
  velk::joystick_sim::PtyPair line;
  velk::joystick_sim::RtuSlave slave(line.slavePath());
  LogCapture log;
  ModbusDevice device(log.callback(), line.devicePath(), 115200, 'N', 8, 1, kUnit,
                      kResponseTimeoutMs);
  EXPECT_EQ(device.getIP(), "");
  ASSERT_EQ(device.connect(), 0);
  EXPECT_EQ(log.count(kLogInfo,
                      "Connected to Modbus Slave {}:baud({}) parity({}) bits({}) stop_bit({}) "
                      "slave_number: {}  " +
                          line.devicePath() + " 115200 N 8 1 2"),
            1);

  slave.setHoldingRegister(512, 0x1234);
  std::array<uint16_t, 1> value{};
  EXPECT_EQ(device.readRegisters(512, 1, value.data()), 0);
  EXPECT_EQ(value[0], 0x1234);
  EXPECT_EQ(device.writeBit(16, 1), 0);
  EXPECT_TRUE(slave.coil(16));

  slave.answerAllWithException(MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
  EXPECT_EQ(device.readRegisters(512, 1, value.data()), 2);
  slave.clearFaults();
  slave.setSilent(true);
  EXPECT_EQ(device.readRegisters(512, 1, value.data()), 6);
  EXPECT_TRUE(device.isConnected());

  device.close();
  EXPECT_EQ(log.count(kLogInfo, "Modbus device {} closed. " + line.devicePath()), 1);
}

// A reply cut short (its last byte lost on the line) fails after the byte
// time-out sized to the line, tens of milliseconds, not libmodbus's default
// half second, and its group is read again in the same pass: the values
// come in that pass, and no signal goes into error.
TEST(CutOffReply, FailsWithinTheByteTimeOutAndIsReadAgainInTheSamePass) {
  using joystick_sim::ReplyMangling;
  using velk::host_rig::timing::scaled;
  constexpr int kPatientMs = 1000;  // far above the bound even when sanitized
  const auto expectOnePassRecovers = [&](ModbusDevice& device, ReplyMangling& mangling,
                                         joystick_sim::ModbusSlave& slave) {
    slave.setInputRegister(256, 11);
    slave.setInputRegister(257, 22);
    ASSERT_EQ(device.connect(), 0);
    auto low = testkit::makeSignal("a", AddressType::InputRegister, 256);
    auto high = testkit::makeSignal("b", AddressType::InputRegister, 257);
    device.addSignal(low.get());
    device.addSignal(high.get());
    testkit::pollPasses(device, 9);
    mangling.set(ReplyMangling::firstOnly(1, ReplyMangling::dropLastBytes(1)));
    const auto start = std::chrono::steady_clock::now();
    testkit::pollPass(device);
    EXPECT_LE(std::chrono::steady_clock::now() - start, scaled(std::chrono::milliseconds(300)));
    EXPECT_EQ(slave.requestCount(4, 256, 2), 2);
    EXPECT_EQ(low->error_state, 0);
    EXPECT_EQ(high->error_state, 0);
    EXPECT_EQ(high->value, 22);
    EXPECT_TRUE(device.isConnected());
  };
  {
    SCOPED_TRACE("TCP");
    TcpSlave slave;
    joystick_sim::ManglingTcpProxy proxy(slave.port());
    LogCapture log;
    ModbusDevice device(log.callback(), slave.host(), proxy.port(), kUnit, kPatientMs);
    expectOnePassRecovers(device, proxy.mangling(), slave);
  }
  {
    SCOPED_TRACE("RTU at 115200 baud");
    joystick_sim::SerialLineTap line;
    joystick_sim::RtuSlave slave(line.slavePath());
    LogCapture log;
    ModbusDevice device(log.callback(), line.devicePath(), 115200, 'N', 8, 1, kUnit, kPatientMs);
    expectOnePassRecovers(device, line.mangling(), slave);
  }
}

}  // namespace
}  // namespace velk::zorv_control
