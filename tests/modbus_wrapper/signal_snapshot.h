#pragma once

#include <string>
#include <vector>

#include "communication/modbus_wrapper/modbus_wrapper_impl.h"

namespace velk::test {

// One signal's value or error state, found by index in the snapshot queries
// as the rocker finds it; -1 / -100 when the name is not listed.
inline int snapshotValue(const zorv_control::ModbusWrapperImpl& registry, const std::string& name) {
  const std::vector<std::string> names = registry.modbusGetSignalNames();
  const std::vector<int> values = registry.modbusGetSignalValues();
  for (size_t i = 0; i < names.size() && i < values.size(); ++i) {
    if (names[i] == name) return values[i];
  }
  return -1;
}

inline int snapshotError(const zorv_control::ModbusWrapperImpl& registry, const std::string& name) {
  const std::vector<std::string> names = registry.modbusGetSignalNames();
  const std::vector<int> errors = registry.modbusGetSignalErrors();
  for (size_t i = 0; i < names.size() && i < errors.size(); ++i) {
    if (names[i] == name) return errors[i];
  }
  return -100;
}

}  // namespace velk::test
