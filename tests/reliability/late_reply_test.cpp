// A reply that arrives after its response time-out, at the device layer.
// libmodbus leaves such a reply in the socket or on the line, where the next
// request reads it as its own answer. Over TCP the transaction number gives
// it away, but then every later request reads the answer to the one before,
// for as long as the connection lasts. On a serial line there is no
// transaction number: a late answer to the same function is taken as the
// next request's answer, with the value of another address.
//
// A damaged reply (check sum, unit, function, length, exception code,
// transaction) leaves the transport in the same doubt: it costs that one
// request, never the connection, and the requests after it are sound.
#include <gtest/gtest.h>

#include <thread>

#include "common/log_level.h"
#include "communication/modbus_dev/modbus_device.h"
#include "host_rig/rig_timing.h"
#include "joystick_sim/frame_damage.h"
#include "joystick_sim/mangling_tcp_proxy.h"
#include "joystick_sim/pty_pair.h"
#include "joystick_sim/rtu_slave.h"
#include "joystick_sim/serial_line_tap.h"
#include "joystick_sim/tcp_slave.h"
#include "modbus_dev/device_test_kit.h"
#include "support/log_capture.h"

namespace rocker_reliability {
namespace {

using namespace velk::host_rig::timing;

using velk::joystick_sim::allDamages;
using velk::joystick_sim::Damage;
using velk::joystick_sim::Framing;
using velk::joystick_sim::ManglingTcpProxy;
using velk::joystick_sim::PtyPair;
using velk::joystick_sim::ReplyMangling;
using velk::joystick_sim::RtuSlave;
using velk::joystick_sim::SerialLineTap;
using velk::joystick_sim::TcpSlave;
using velk::test::LogCapture;
using velk::zorv_control::AddressType;
using velk::zorv_control::ModbusDevice;

constexpr int kSlave = 2;
constexpr int kTimeoutMs = 200;
constexpr int kBadReply = 3;
constexpr int kTimedOut = 6;
constexpr int kReads = 10;

// Reads address `address` kReads times; how many came back sound with the
// expected value.
int soundReads(ModbusDevice& device, int address, uint16_t expected) {
  int sound = 0;
  for (int i = 0; i < kReads; ++i) {
    uint16_t value = 0;
    if (device.readInputRegisters(address, 1, &value) == 0 && value == expected) ++sound;
  }
  return sound;
}

// Two addresses with values that tell their answers apart.
void holdKnownValues(velk::joystick_sim::ModbusSlave& slave) {
  slave.setInputRegister(256, 111);
  slave.setInputRegister(257, 222);
}

TEST(LateReplyTest, TcpTransactionsAreSoundAgainAfterOneLateReply) {
  TcpSlave slave;
  slave.setInputRegister(256, 111);
  LogCapture log;
  ModbusDevice device(log.callback(), slave.host(), slave.port(), kSlave, kTimeoutMs);
  ASSERT_EQ(device.connect(), 0);
  uint16_t value = 0;
  ASSERT_EQ(device.readInputRegisters(256, 1, &value), 0);

  slave.setReplyDelay(std::chrono::milliseconds(kTimeoutMs + 150));
  EXPECT_EQ(device.readInputRegisters(256, 1, &value), kTimedOut);
  slave.setReplyDelay(0ms);
  // One transaction may still meet the late answer; the rest must not.
  EXPECT_GE(soundReads(device, 256, 111), kReads - 1);
  EXPECT_TRUE(device.isConnected());
}

// A device on a serial line, a plain pair or a tapped one, to its slave.
template <class Line>
struct SerialDevice {
  SerialDevice() { holdKnownValues(slave); }
  Line line;
  RtuSlave slave{line.slavePath()};
  LogCapture log;
  ModbusDevice device{log.callback(), line.devicePath(), 115200, 'N', 8, 1, kSlave, kTimeoutMs};
};

TEST(LateReplyTest, SerialReadNeverTakesTheLateAnswerOfAnotherAddress) {
  SerialDevice<PtyPair> rig;
  RtuSlave& slave = rig.slave;
  ModbusDevice& device = rig.device;
  ASSERT_EQ(device.connect(), 0);

  slave.setReplyDelay(std::chrono::milliseconds(kTimeoutMs + 150));
  uint16_t value = 0;
  EXPECT_EQ(device.readInputRegisters(256, 1, &value), kTimedOut);
  slave.setReplyDelay(0ms);
  std::this_thread::sleep_for(300ms);  // the late answer is on the line now

  value = 0;
  const int result = device.readInputRegisters(257, 1, &value);
  EXPECT_FALSE(result == 0 && value == 111)
      << "register 257 read as 111, the late answer for register 256";
  EXPECT_GE(soundReads(device, 257, 222), kReads - 1);
}

// Every damage the framing can carry, once each, on one connection.
void expectEachDamageCostsOneRead(ModbusDevice& device, ReplyMangling& mangling, Framing framing,
                                  const LogCapture& log) {
  for (const Damage damage : allDamages()) {
    if (!appliesTo(damage, framing)) continue;
    int expected = damage == Damage::kLastByteMissing ? kTimedOut : kBadReply;
    // libmodbus does not look at the unit of a TCP reply.
    if (damage == Damage::kOtherUnit && framing == Framing::kTcp) expected = 0;
    mangling.set(damageReplies(damage, framing));
    uint16_t value = 0;
    EXPECT_EQ(device.readInputRegisters(256, 1, &value), expected) << damageName(damage);
    mangling.clear();
    EXPECT_EQ(soundReads(device, 257, 222), kReads) << damageName(damage);
    EXPECT_TRUE(device.isConnected()) << damageName(damage);
  }
  EXPECT_EQ(log.countContaining("closed."), 0);
  EXPECT_TRUE(log.messages(velk::kLogWarning).empty());
}

// A device that reaches its slave through a proxy that can damage replies.
struct ProxiedTcpDevice {
  ProxiedTcpDevice() { holdKnownValues(slave); }
  TcpSlave slave;
  ManglingTcpProxy proxy{slave.port()};
  LogCapture log;
  ModbusDevice device{log.callback(), slave.host(), proxy.port(), kSlave, kTimeoutMs};
};

TEST(DamagedReplyTest, TcpKeepsTheConnectionAndTheNextTransactionsAreSound) {
  ProxiedTcpDevice rig;
  ASSERT_EQ(rig.device.connect(), 0);
  expectEachDamageCostsOneRead(rig.device, rig.proxy.mangling(), Framing::kTcp, rig.log);
  EXPECT_EQ(rig.slave.connectionsAccepted(), 1);
}

TEST(DamagedReplyTest, SerialKeepsTheLineOpenAndTheNextReadsAreSound) {
  SerialDevice<SerialLineTap> rig;
  ASSERT_EQ(rig.device.connect(), 0);
  expectEachDamageCostsOneRead(rig.device, rig.line.mangling(), Framing::kRtu, rig.log);
}

// A group read whose reply is damaged goes out once more in the same pass;
// only a second failure puts its run in error, to be probed signal by signal.
TEST(DamagedReplyTest, GroupReadIsTriedOnceMoreBeforeItsSignalsAreProbed) {
  struct Row {
    int damaged_replies;
    int32_t error_after_failure;
    int group_reads;  // after two periods
    int probes_per_signal;
  };
  for (const Row& row : {Row{1, 0, 3, 0}, Row{2, kBadReply, 2, 1}}) {
    SCOPED_TRACE(row.damaged_replies);
    ProxiedTcpDevice rig;
    ModbusDevice& device = rig.device;
    ASSERT_EQ(device.connect(), 0);
    auto low = velk::zorv_control::testkit::makeSignal("a", AddressType::InputRegister, 256);
    auto high = velk::zorv_control::testkit::makeSignal("b", AddressType::InputRegister, 257);
    device.addSignal(low.get());
    device.addSignal(high.get());
    rig.proxy.mangling().set(ReplyMangling::firstOnly(
        row.damaged_replies, damageReplies(Damage::kTwinFunction, Framing::kTcp)));

    velk::zorv_control::testkit::pollPasses(device, 10);
    EXPECT_EQ(rig.slave.requestCount(4, 256, 2), 2);
    EXPECT_EQ(low->error_state, row.error_after_failure);
    EXPECT_EQ(high->error_state, row.error_after_failure);
    velk::zorv_control::testkit::pollPasses(device, 10);
    EXPECT_EQ(rig.slave.requestCount(4, 256, 2), row.group_reads);
    EXPECT_EQ(rig.slave.requestCount(4, 256, 1), row.probes_per_signal);
    EXPECT_EQ(rig.slave.requestCount(4, 257, 1), row.probes_per_signal);
    EXPECT_EQ(low->error_state, 0);
    EXPECT_EQ(high->error_state, 0);
    EXPECT_TRUE(device.isConnected());
  }
}

}  // namespace
}  // namespace rocker_reliability
