#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "host_rig/rig_timing.h"
#include "support/log_capture.h"

namespace velk::test {

constexpr int kCoil = 1;
constexpr int kInputRegister = 2;
constexpr int kHoldingRegister = 3;
// A new device connects on its 102nd poll pass, about a second; the bound
// leaves room for a slow, shared machine.
constexpr std::chrono::milliseconds kConnectWait{10000};

inline std::string pruneMessage(const std::string& device) {
  return "Modbus device {} has no signals anymore. It will be delete." + device;
}

// The entry of `column` at the index of `name` in `names`, as the rocker
// finds a signal's value or error state; `missing` when it is not listed.
inline int entryFor(const std::vector<std::string>& names, const std::vector<int>& column,
                    const std::string& name, int missing) {
  for (size_t i = 0; i < names.size() && i < column.size(); ++i) {
    if (names[i] == name) return column[i];
  }
  return missing;
}

inline int snapshotValue(const zorv_control::ModbusWrapperImpl& registry, const std::string& name) {
  return entryFor(registry.modbusGetSignalNames(), registry.modbusGetSignalValues(), name, -1);
}

inline int snapshotError(const zorv_control::ModbusWrapperImpl& registry, const std::string& name) {
  return entryFor(registry.modbusGetSignalNames(), registry.modbusGetSignalErrors(), name, -100);
}

// A registry with its poll thread running and its log captured.
class RegistryTest : public ::testing::Test {
 protected:
  // Until the signal's snapshot value is `value`.
  bool valueBecomes(const std::string& name, int value,
                    std::chrono::milliseconds timeout = kConnectWait) {
    return host_rig::timing::waitFor([&] { return snapshotValue(registry, name) == value; },
                                     timeout);
  }

  LogCapture log;
  zorv_control::ModbusWrapperImpl registry{log.callback()};
};

}  // namespace velk::test
