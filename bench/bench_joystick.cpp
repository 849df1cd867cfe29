#include "bench/bench_joystick.h"

#include "bench/joystick_map.h"
#include "support/rtu_test_slave.h"
#include "support/tcp_test_slave.h"

namespace velk::bench {

BenchJoystick::BenchJoystick(Transport transport, std::chrono::seconds lifetime)
    : transport_(transport) {
  if (transport == Transport::kTcp) {
    auto tcp = std::make_unique<test::TcpTestSlave>(kJoystickUnit, lifetime);
    port_ = tcp->port();
    tcp_ = tcp.get();
    device_info_ = tcp->host() + "," + std::to_string(port_);
    slave_ = std::move(tcp);
  } else {
    line_ = std::make_unique<test::PtyPair>();
    slave_ =
        std::make_unique<test::RtuTestSlave>(line_->slavePath(), kJoystickUnit, 115200, lifetime);
    device_info_ = line_->devicePath() + ",115200,N,8,1";
  }
  slave_->setInputRegister(kFirmwareRegister, 0x1083);
  slave_->setInputRegister(kHardwareRegister, 0x2100);
}

BenchJoystick::~BenchJoystick() {
  // The slave first: it holds the line open.
  slave_.reset();
  line_.reset();
}

std::string BenchJoystick::serialPath() const { return line_ ? line_->devicePath() : ""; }

void BenchJoystick::setStickX(int16_t value) {
  slave_->setInputRegister(kStickXRegister, static_cast<uint16_t>(value));
}

void BenchJoystick::setButton(int coil, bool down) { slave_->setCoil(coil, down); }

void BenchJoystick::unplug() {
  if (tcp_ != nullptr) {
    tcp_->dropClients();
    return;
  }
  // The line first, so that the master sees it go rather than a slave that
  // stops answering.
  line_.reset();
  slave_.reset();
}

}  // namespace velk::bench
