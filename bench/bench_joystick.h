#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "bench/transport.h"
#include "joystick_sim/modbus_slave.h"
#include "joystick_sim/pty_pair.h"
#include "reliability/mangling_tcp_proxy.h"
#include "reliability/serial_line_tap.h"

namespace velk::joystick_sim {
class TcpSlave;
}  // namespace velk::joystick_sim

namespace velk::bench {

// The joystick the bundle polls: a real libmodbus slave (unit 2) on loopback
// TCP at a port the kernel picks, or on one end of a socat pseudo-terminal
// pair at 115200 baud 8N1. Stick centred, buttons up, firmware 1.1.3.
// A tapped joystick is reached through a fault injector that can damage its
// replies: the mangling TCP proxy, or a serial line tap in place of the
// plain pair.
class BenchJoystick {
 public:
  // The slave (and the injector) serve at most `lifetime`, then end by
  // themselves.
  BenchJoystick(Transport transport, std::chrono::seconds lifetime, bool tapped = false);
  ~BenchJoystick();
  BenchJoystick(const BenchJoystick&) = delete;
  BenchJoystick& operator=(const BenchJoystick&) = delete;

  Transport transport() const { return transport_; }
  joystick_sim::ModbusSlave& slave() { return *slave_; }
  // The "device_info" start option that reaches this joystick.
  const std::string& deviceInfo() const { return device_info_; }
  // Where a second master reaches it: host and port, or the serial path.
  std::string host() const { return "127.0.0.1"; }
  int port() const { return port_; }
  std::string serialPath() const;
  // What damages the replies on their way to the bundle; null unless tapped.
  rocker_reliability::ReplyMangling* mangling();

  void setStickX(int16_t value);
  void setButton(int coil, bool down);
  // The connection goes. TCP: the slave closes its client connections (it
  // keeps listening, so the master may connect again). RTU: the serial line
  // vanishes (socat ends, the pseudo-terminals and their links go), then the
  // slave; after that only the destructor may be called.
  void unplug();

 private:
  Transport transport_;
  joystick_sim::TcpSlave* tcp_ = nullptr;
  std::unique_ptr<joystick_sim::PtyPair> line_;
  std::unique_ptr<rocker_reliability::SerialLineTap> tap_;
  std::unique_ptr<joystick_sim::ModbusSlave> slave_;
  std::unique_ptr<rocker_reliability::ManglingTcpProxy> proxy_;
  std::string device_info_;
  int port_ = 0;
};

}  // namespace velk::bench
