#include "joystick_sim/simulated_joystick.h"

#include <cstdint>

#include "joystick_sim/joystick_map.h"
#include "joystick_sim/rtu_slave.h"
#include "joystick_sim/tcp_slave.h"
#include "rtu_line.h"

namespace velk::joystick_sim {

namespace {

int coilOf(Button button) {
  return button == Button::kPower ? JoystickMap::kPowerButtonCoil : JoystickMap::kSpeedButtonCoil;
}

}  // namespace

SimulatedJoystick::SimulatedJoystick(Transport transport, std::chrono::seconds lifetime) {
  if (transport == Transport::kTcp) {
    tcp_ = std::make_unique<TcpSlave>(JoystickMap::kUnit, lifetime);
  } else {
    rtu_ = std::make_unique<RtuLine>(lifetime);
  }
  load(*slave());
}

SimulatedJoystick::SimulatedJoystick(const std::string& slave_path, const std::string& device_path,
                                     std::chrono::seconds lifetime)
    : rtu_(std::make_unique<RtuLine>(slave_path, device_path, lifetime)) {
  load(*slave());
}

SimulatedJoystick::~SimulatedJoystick() = default;

ModbusSlave* SimulatedJoystick::slave() const {
  if (tcp_) return tcp_.get();
  return rtu_->slave();
}

std::string SimulatedJoystick::deviceInfo() const {
  if (tcp_) return tcp_->deviceInfo();
  return rtu_->devicePath() + "," + std::to_string(RtuLine::kBaud) + ",N,8,1";
}

std::string SimulatedJoystick::describe() const {
  const std::string unit = ", unit " + std::to_string(JoystickMap::kUnit);
  if (tcp_) return "Modbus TCP " + tcp_->deviceName() + unit;
  return "Modbus RTU " + rtu_->devicePath() + " at " + std::to_string(RtuLine::kBaud) + " 8N1" +
         unit;
}

// Puts the joystick's own state into a slave that has just come up.
void SimulatedJoystick::load(ModbusSlave& target) const {
  target.setInputRegister(JoystickMap::kFirmwareRegister, JoystickMap::kFirmwareWord);
  target.setInputRegister(JoystickMap::kHardwareRegister, JoystickMap::kHardwareWord);
  writeStick(target);
  target.setCoil(JoystickMap::kPowerButtonCoil, buttons_[0]);
  target.setCoil(JoystickMap::kSpeedButtonCoil, buttons_[1]);
  target.setCoil(JoystickMap::kPowerLightCoil, held_lights_.power);
  target.setCoil(JoystickMap::kSpeedLightCoil, held_lights_.speed);
  target.setHoldingRegister(JoystickMap::kIndicatorRegister,
                            static_cast<std::uint16_t>(held_lights_.indicator));
  target.setSilent(silent_);
  for (const auto& [address, code] : rejected_) target.rejectAddress(address, code);
}

// Two's complement, as the device sends them.
void SimulatedJoystick::writeStick(ModbusSlave& target) const {
  for (std::size_t i = 0; i < stick_.size(); ++i) {
    target.setInputRegister(JoystickMap::kFirstAxisRegister + static_cast<int>(i),
                            static_cast<std::uint16_t>(stick_[i]));
  }
}

void SimulatedJoystick::setStick(const StickAxes& axes) {
  stick_ = axes;
  if (auto* s = slave()) writeStick(*s);
}

void SimulatedJoystick::setButton(Button button, bool pressed) {
  buttons_[button == Button::kPower ? 0 : 1] = pressed;
  if (auto* s = slave()) s->setCoil(coilOf(button), pressed);
}

JoystickLights SimulatedJoystick::lights() const {
  const auto* s = slave();
  if (s == nullptr) return held_lights_;
  JoystickLights lights;
  lights.power = s->coil(JoystickMap::kPowerLightCoil);
  lights.speed = s->coil(JoystickMap::kSpeedLightCoil);
  lights.indicator = s->holdingRegister(JoystickMap::kIndicatorRegister);
  return lights;
}

void SimulatedJoystick::mirrorLights() {
  auto* s = slave();
  if (s == nullptr) return;
  const JoystickLights now = lights();
  s->setCoil(JoystickMap::kPowerLightReadBack, now.power);
  s->setCoil(JoystickMap::kSpeedLightReadBack, now.speed);
  s->setInputRegister(JoystickMap::kIndicatorReadBack, static_cast<std::uint16_t>(now.indicator));
}

void SimulatedJoystick::resetOutputs() {
  held_lights_ = JoystickLights{};
  if (auto* s = slave()) {
    s->setCoil(JoystickMap::kPowerLightCoil, false);
    s->setCoil(JoystickMap::kSpeedLightCoil, false);
    s->setHoldingRegister(JoystickMap::kIndicatorRegister, 0);
  }
  mirrorLights();
}

void SimulatedJoystick::unplug() {
  if (!plugged_in_) return;
  plugged_in_ = false;
  if (tcp_) {
    tcp_->setRefuseConnections(true);
    tcp_->dropClients();
    return;
  }
  held_lights_ = lights();
  rtu_->unplug();
}

void SimulatedJoystick::plugIn() {
  if (plugged_in_) return;
  plugged_in_ = true;
  if (tcp_) {
    tcp_->setRefuseConnections(false);
    return;
  }
  rtu_->plugIn();
  load(*slave());
}

void SimulatedJoystick::dropConnection() {
  if (tcp_) {
    tcp_->dropClients();
  } else {
    unplug();
  }
}

void SimulatedJoystick::setSilent(bool silent) {
  silent_ = silent;
  if (auto* s = slave()) s->setSilent(silent);
}

void SimulatedJoystick::rejectAddress(int address, int code) {
  if (code == 0) {
    rejected_.erase(address);
  } else {
    rejected_[address] = code;
  }
  if (auto* s = slave()) s->rejectAddress(address, code);
}

}  // namespace velk::joystick_sim
