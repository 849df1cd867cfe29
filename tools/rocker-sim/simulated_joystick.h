#pragma once

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "rocker-sim/run_record.h"
#include "rocker-sim/scenario.h"

namespace velk::joystick_sim {
class ModbusSlave;
class TcpSlave;
}  // namespace velk::joystick_sim

namespace velk::rocker_sim {

class RtuLine;

// The six-axis joystick as a real Modbus slave (unit 2): the stick axes as
// signed input registers, both buttons as coils, the version words 0x1083
// and 0x2100, and the lights the bundle writes, mirrored into their
// read-back addresses. Served on loopback TCP at a port the kernel picks, or
// over RTU on a pseudo-terminal pair.
//
// Faults: unplugged (TCP: connections closed and refused; RTU: the serial
// line vanishes), silent (requests get no answer), and addresses answering
// an exception. The joystick's own state (stick, buttons, lights) survives
// them, as on the real device.
//
// Not thread-safe: use it from one thread (the one that made it).
class SimulatedJoystick {
 public:
  enum class Transport { kTcp, kRtu };

  // `lifetime` bounds the serving threads (they stop by themselves after it).
  SimulatedJoystick(Transport transport, std::chrono::seconds lifetime);
  ~SimulatedJoystick();
  SimulatedJoystick(const SimulatedJoystick&) = delete;
  SimulatedJoystick& operator=(const SimulatedJoystick&) = delete;

  // The device-info string that reaches it: "127.0.0.1,<port>" or
  // "<line>,115200,N,8,1".
  std::string deviceInfo() const;
  std::string describe() const;

  void setStick(const StickAxes& axes);
  const StickAxes& stick() const { return stick_; }
  void setButton(Button button, bool pressed);
  JoystickLights lights() const;
  // Copies the lights into their read-back addresses, as the device does.
  void mirrorLights();
  // What a power cycle does to the outputs: lights off, indicator 0.
  void resetOutputs();

  void unplug();
  void plugIn();
  bool pluggedIn() const { return plugged_in_; }
  void setSilent(bool silent);
  // Requests touching `address` get exception `code`; code 0 lifts it.
  void rejectAddress(int address, int code);

 private:
  joystick_sim::ModbusSlave* slave() const;
  void load(joystick_sim::ModbusSlave& slave) const;

  std::unique_ptr<joystick_sim::TcpSlave> tcp_;
  std::unique_ptr<RtuLine> rtu_;
  StickAxes stick_{};
  std::array<bool, 2> buttons_{};
  JoystickLights held_lights_;  // outputs kept while an RTU line is unplugged
  bool plugged_in_ = true;
  bool silent_ = false;
  std::map<int, int> rejected_;
};

}  // namespace velk::rocker_sim
