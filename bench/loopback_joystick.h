#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "bench/transport.h"
#include "joystick_sim/joystick_state.h"
#include "joystick_sim/mangling_tcp_proxy.h"
#include "joystick_sim/modbus_slave.h"
#include "joystick_sim/serial_line_tap.h"
#include "joystick_sim/simulated_joystick.h"

namespace velk::bench {

// The joystick the bundle polls: the simulated joystick (unit 2) on loopback
// TCP at a port the kernel picks, or on a socat pseudo-terminal pair at
// 115200 baud 8N1. Stick centred, buttons up, firmware 1.1.3.
// A tapped joystick is reached through a fault injector that can damage its
// replies: the mangling TCP proxy, or a serial line tap in place of the
// plain pair. A paced RTU joystick (reply latency 0 or more) is reached
// through a tap that paces the line at 115200 baud and holds each reply by
// the latency, as a real line and a USB serial adapter do.
class LoopbackJoystick {
 public:
  // The slave (and the injector) serve at most `lifetime`, then end by
  // themselves.
  LoopbackJoystick(Transport transport, std::chrono::seconds lifetime, bool tapped = false,
                   int reply_latency_ms = -1);
  ~LoopbackJoystick();
  LoopbackJoystick(const LoopbackJoystick&) = delete;
  LoopbackJoystick& operator=(const LoopbackJoystick&) = delete;

  Transport transport() const { return transport_; }
  // Its request log and faults; valid until unplug().
  joystick_sim::ModbusSlave& slave() { return *joystick_->slave(); }
  // The "device_info" start option that reaches this joystick.
  const std::string& deviceInfo() const { return device_info_; }
  // Where a second master reaches it, past any injector: host and port, or
  // the serial path.
  std::string host() const { return "127.0.0.1"; }
  int port() const { return port_; }
  const std::string& serialPath() const { return serial_path_; }
  // What damages the replies on their way to the bundle; null unless tapped.
  joystick_sim::ReplyMangling* mangling();

  void setStickX(int16_t value);
  void setButton(joystick_sim::Button button, bool down);
  // The connection goes. TCP: the slave closes its client connections (it
  // keeps listening, so the master may connect again). RTU: the serial line
  // vanishes (socat ends, the pseudo-terminals and their links go), then the
  // slave; after that only the destructor may be called.
  void unplug();

 private:
  Transport transport_;
  // Declared so that the proxy and the joystick go first: the slave holds
  // the tapped line open.
  std::unique_ptr<joystick_sim::SerialLineTap> tap_;
  std::unique_ptr<joystick_sim::SimulatedJoystick> joystick_;
  std::unique_ptr<joystick_sim::ManglingTcpProxy> proxy_;
  std::string device_info_;
  std::string serial_path_;
  int port_ = 0;
};

}  // namespace velk::bench
