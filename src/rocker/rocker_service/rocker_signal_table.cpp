#include "rocker/rocker_service/rocker_signal_table.h"

#include <cstring>

namespace velk::zorv_comm {

using zorv_control::AddressType;

const std::array<RockerSignalTable::Entry, RockerSignalTable::kCount>&
RockerSignalTable::entries() {
  static const std::array<Entry, kCount> kEntries = {{
      {kPowerButton, AddressType::Coil, 0},
      {kSpeedButton, AddressType::Coil, 1},
      {"get_button_light_1", AddressType::Coil, 2},
      {"get_button_light_2", AddressType::Coil, 3},
      {kX, AddressType::InputRegister, 256},
      {kY, AddressType::InputRegister, 257},
      {kZ, AddressType::InputRegister, 258},
      {kRx, AddressType::InputRegister, 259},
      {kRy, AddressType::InputRegister, 260},
      {kRz, AddressType::InputRegister, 261},
      {"get_indicator_light", AddressType::InputRegister, 262},
      {kPowerLight, AddressType::Coil, 16},
      {kSpeedLight, AddressType::Coil, 17},
      {kIndicator, AddressType::HoldingRegister, 512},
      {kFirmwareVersion, AddressType::InputRegister, 263},
      {kHardwareVersion, AddressType::InputRegister, 264},
  }};
  return kEntries;
}

const std::array<std::size_t, RockerSignalTable::kCount>& RockerSignalTable::registrationOrder() {
  static const std::array<std::size_t, kCount> kOrder = {0, 1, 2,  3,  4,  5,  6,  7,
                                                         8, 9, 10, 14, 15, 11, 12, 13};
  return kOrder;
}

const std::array<const char*, 6>& RockerSignalTable::axes() {
  static const std::array<const char*, 6> kAxes = {kX, kY, kZ, kRx, kRy, kRz};
  return kAxes;
}

const std::array<const char*, 3>& RockerSignalTable::linearAxes() {
  static const std::array<const char*, 3> kLinear = {kX, kY, kZ};
  return kLinear;
}

const std::string& RockerSignalTable::stored(const char* name) {
  static const std::array<std::string, kCount> kNames = [] {
    std::array<std::string, kCount> names;
    for (std::size_t i = 0; i < kCount; ++i) names[i] = entries()[i].name;
    return names;
  }();
  for (const std::string& stored_name : kNames) {
    if (std::strcmp(stored_name.c_str(), name) == 0) return stored_name;
  }
  static const std::string kNoSignal;
  return kNoSignal;
}

}  // namespace velk::zorv_comm
