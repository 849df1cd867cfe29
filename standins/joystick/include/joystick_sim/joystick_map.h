#pragma once

#include <array>
#include <cstdint>

#include "communication/modbus_dev/address_type.h"

namespace velk::joystick_sim {

// The joystick's Modbus register map (unit 2), as the bundle reads and
// writes it: where the simulated joystick keeps its state, and where the
// tools, benchmarks and tests find it. The bundle carries its own copy, its
// signal table; tests/joystick holds the two in step, signal by signal.
struct JoystickMap {
  // One signal of the joystick under the name the bundle gives it.
  struct Signal {
    const char* name;
    zorv_control::AddressType type;
    int address;
  };

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

  // All 16 signals, in the bundle's index order.
  static constexpr zorv_control::AddressType kCoil = zorv_control::AddressType::Coil;
  static constexpr zorv_control::AddressType kInput = zorv_control::AddressType::InputRegister;
  static constexpr std::array<Signal, 16> kSignals{{
      {"get_button_0", kCoil, kPowerButtonCoil},
      {"get_button_1", kCoil, kSpeedButtonCoil},
      {"get_button_light_1", kCoil, kPowerLightReadBack},
      {"get_button_light_2", kCoil, kSpeedLightReadBack},
      {"get_x", kInput, kFirstAxisRegister},
      {"get_y", kInput, kFirstAxisRegister + 1},
      {"get_z", kInput, kFirstAxisRegister + 2},
      {"get_rx", kInput, kFirstAxisRegister + 3},
      {"get_ry", kInput, kFirstAxisRegister + 4},
      {"get_rz", kInput, kFirstAxisRegister + 5},
      {"get_indicator_light", kInput, kIndicatorReadBack},
      {"set_button_light_1", kCoil, kPowerLightCoil},
      {"set_button_light_2", kCoil, kSpeedLightCoil},
      {"set_indicator_light", zorv_control::AddressType::HoldingRegister, kIndicatorRegister},
      {"get_firmware_version", kInput, kFirmwareRegister},
      {"get_hardware_version", kInput, kHardwareRegister},
  }};
};

}  // namespace velk::joystick_sim
