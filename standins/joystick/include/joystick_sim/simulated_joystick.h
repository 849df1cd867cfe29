#pragma once

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "joystick_sim/joystick_state.h"

namespace velk::joystick_sim {

class ModbusSlave;
class RtuLine;
class TcpSlave;

// The six-axis joystick as a real Modbus slave (unit 2, see JoystickMap):
// the stick axes as signed input registers, both buttons as coils, the
// version words 0x1083 and 0x2100, and the lights the bundle writes,
// mirrored into their read-back addresses. Served on loopback TCP at a port
// the kernel picks, or over RTU (115200 8N1) on a socat pseudo-terminal pair
// reached through a link that stays put.
//
// Faults: unplugged (TCP: connections closed and refused; RTU: the serial
// line vanishes), a dropped connection, silent (requests get no answer), and
// addresses answering an exception; slave() reaches the rest (reply delays,
// an exception for every request) and the request log. The joystick's own
// state (stick, buttons, lights) survives them, as on the real device.
//
// Not thread-safe: use it from one thread, the one that made it (socat dies
// with the thread that made the line, see PtyPair).
class SimulatedJoystick {
 public:
  enum class Transport { kTcp, kRtu };

  // `lifetime` bounds the serving threads (they stop by themselves after it).
  SimulatedJoystick(Transport transport, std::chrono::seconds lifetime);
  // Over RTU on a serial line made elsewhere (a tap between joystick and
  // master, say): served at `slave_path`, reached at `device_path`.
  // Unplugged, only the slave goes; the line stays.
  SimulatedJoystick(const std::string& slave_path, const std::string& device_path,
                    std::chrono::seconds lifetime);
  ~SimulatedJoystick();
  SimulatedJoystick(const SimulatedJoystick&) = delete;
  SimulatedJoystick& operator=(const SimulatedJoystick&) = delete;

  // The device-info string that reaches it: "127.0.0.1,<port>" or
  // "<line>,115200,N,8,1".
  std::string deviceInfo() const;
  std::string describe() const;
  // The slave serving now; null while an RTU line is unplugged. What is set
  // through it at the joystick's own addresses is lost on plugging in again.
  ModbusSlave* slave() const;

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
  // The connection breaks, the joystick stays: over TCP the master's
  // connections are closed and it may connect again at once; over RTU the
  // line is unplugged.
  void dropConnection();
  void setSilent(bool silent);
  // Requests touching `address` get exception `code`; code 0 lifts it.
  void rejectAddress(int address, int code);

 private:
  void load(ModbusSlave& slave) const;
  void writeStick(ModbusSlave& slave) const;

  std::unique_ptr<TcpSlave> tcp_;
  std::unique_ptr<RtuLine> rtu_;
  StickAxes stick_{};
  std::array<bool, 2> buttons_{};
  JoystickLights held_lights_;  // outputs kept while an RTU line is unplugged
  bool plugged_in_ = true;
  bool silent_ = false;
  std::map<int, int> rejected_;
};

}  // namespace velk::joystick_sim
