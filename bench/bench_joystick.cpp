#include "bench/bench_joystick.h"

#include "bench/joystick_map.h"
#include "joystick_sim/rtu_slave.h"
#include "joystick_sim/tcp_slave.h"

namespace velk::bench {

BenchJoystick::BenchJoystick(Transport transport, std::chrono::seconds lifetime, bool tapped)
    : transport_(transport) {
  if (transport == Transport::kTcp) {
    auto tcp = std::make_unique<joystick_sim::TcpSlave>(kJoystickUnit, lifetime);
    port_ = tcp->port();
    tcp_ = tcp.get();
    if (tapped) proxy_ = std::make_unique<rocker_reliability::ManglingTcpProxy>(port_, lifetime);
    device_info_ = tcp->host() + "," + std::to_string(proxy_ ? proxy_->port() : port_);
    slave_ = std::move(tcp);
  } else {
    std::string slave_path;
    if (tapped) {
      tap_ = std::make_unique<rocker_reliability::SerialLineTap>(lifetime);
      slave_path = tap_->slavePath();
    } else {
      line_ = std::make_unique<joystick_sim::PtyPair>();
      slave_path = line_->slavePath();
    }
    slave_ = std::make_unique<joystick_sim::RtuSlave>(slave_path, kJoystickUnit, 115200, lifetime);
    device_info_ = serialPath() + ",115200,N,8,1";
  }
  slave_->setInputRegister(kFirmwareRegister, 0x1083);
  slave_->setInputRegister(kHardwareRegister, 0x2100);
}

BenchJoystick::~BenchJoystick() {
  // The proxy and the slave first: the slave holds the line open.
  proxy_.reset();
  slave_.reset();
  tap_.reset();
  line_.reset();
}

std::string BenchJoystick::serialPath() const {
  if (tap_) return tap_->devicePath();
  return line_ ? line_->devicePath() : "";
}

rocker_reliability::ReplyMangling* BenchJoystick::mangling() {
  if (proxy_) return &proxy_->mangling();
  return tap_ ? &tap_->mangling() : nullptr;
}

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
