#pragma once

#include <array>
#include <cstdint>

namespace velk::joystick_sim {

// The joystick's Modbus register map (unit 2), as the bundle reads and
// writes it: where the simulated joystick keeps its state, and where the
// tools, benchmarks and tests find it. The bundle carries its own copy, its
// signal table; a test keeps the two in step.
struct JoystickMap {
  static constexpr int kUnit = 2;
  // Coils the joystick sets: the two buttons, and read-backs of the lights.
  static constexpr int kPowerButtonCoil = 0;
  static constexpr int kSpeedButtonCoil = 1;
  static constexpr int kPowerLightReadBack = 2;
  static constexpr int kSpeedLightReadBack = 3;
  // Coils the bundle writes: the button lights.
  static constexpr int kPowerLightCoil = 16;
  static constexpr int kSpeedLightCoil = 17;
  // Input registers: the six stick axes (signed, x y z rx ry rz), then
  // read-back and versions.
  static constexpr int kFirstAxisRegister = 256;
  static constexpr int kAxisCount = 6;
  static constexpr int kIndicatorReadBack = 262;
  static constexpr int kFirmwareRegister = 263;
  static constexpr int kHardwareRegister = 264;
  // Holding register the bundle writes: the indicator code.
  static constexpr int kIndicatorRegister = 512;

  // Firmware 1.1.3 (major bits 12-15, minor 7-11, patch 0-6); hardware 2.2.
  static constexpr std::uint16_t kFirmwareWord = 0x1083;
  static constexpr std::uint16_t kHardwareWord = 0x2100;

  // Every address of the map, by table, in ascending order.
  static constexpr std::array<int, 6> kCoils{kPowerButtonCoil,    kSpeedButtonCoil,
                                             kPowerLightReadBack, kSpeedLightReadBack,
                                             kPowerLightCoil,     kSpeedLightCoil};
  static constexpr std::array<int, 9> kInputRegisters{
      kFirstAxisRegister,     kFirstAxisRegister + 1, kFirstAxisRegister + 2,
      kFirstAxisRegister + 3, kFirstAxisRegister + 4, kFirstAxisRegister + 5,
      kIndicatorReadBack,     kFirmwareRegister,      kHardwareRegister};
  static constexpr std::array<int, 1> kHoldingRegisters{kIndicatorRegister};
};

}  // namespace velk::joystick_sim
