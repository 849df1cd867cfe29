#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "communication/modbus_dev/address_type.h"

namespace velk::zorv_comm {

// The joystick's Modbus register map. Every signal lives on slave 2; the
// index of an entry is its place in the service's list of signal names.
class RockerSignalTable {
 public:
  struct Entry {
    const char* name;
    zorv_control::AddressType type;
    int address;
  };

  static constexpr std::size_t kCount = 16;
  static constexpr int kSlave = 2;

  static constexpr const char* kPowerButton = "get_button_0";
  static constexpr const char* kSpeedButton = "get_button_1";
  static constexpr const char* kX = "get_x";
  static constexpr const char* kY = "get_y";
  static constexpr const char* kZ = "get_z";
  static constexpr const char* kRx = "get_rx";
  static constexpr const char* kRy = "get_ry";
  static constexpr const char* kRz = "get_rz";
  static constexpr const char* kPowerLight = "set_button_light_1";
  static constexpr const char* kSpeedLight = "set_button_light_2";
  static constexpr const char* kIndicator = "set_indicator_light";
  static constexpr const char* kFirmwareVersion = "get_firmware_version";
  static constexpr const char* kHardwareVersion = "get_hardware_version";

  // All 16 entries in index order.
  static const std::array<Entry, kCount>& entries();
  // Indexes in the order the signals are registered: the read signals and
  // the version words first, the three outputs last.
  static const std::array<std::size_t, kCount>& registrationOrder();
  // x, y, z, rx, ry, rz: the six stick axes.
  static const std::array<const char*, 6>& axes();
  // x, y, z: the axes that carry the jog's translation.
  static const std::array<const char*, 3>& linearAxes();
  // A signal's name as a string built once. A lookup by a name longer than
  // a string's inline buffer would otherwise allocate it in every cycle.
  // A name not in the table gives the empty string.
  static const std::string& stored(const char* name);
};

}  // namespace velk::zorv_comm
