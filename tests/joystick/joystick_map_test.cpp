// The joystick that rocker-sim, the benchmarks and the tests play must be the
// one the bundle reads: the stand-in's map and the bundle's signal table
// agree signal by signal, and the addresses the stand-in serves are exactly
// those the table names.
#include "joystick_sim/joystick_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "rocker/rocker_service/rocker_signal_table.h"

namespace {

using velk::joystick_sim::JoystickMap;
using velk::zorv_comm::RockerSignalTable;
using velk::zorv_control::AddressType;

TEST(JoystickMap, AgreesWithTheBundlesSignalTable) {
  EXPECT_EQ(JoystickMap::kUnit, RockerSignalTable::kSlave);
  const auto& table = RockerSignalTable::entries();
  ASSERT_EQ(JoystickMap::kSignals.size(), table.size());
  std::map<AddressType, std::vector<int>> served;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const JoystickMap::Signal& signal = JoystickMap::kSignals[i];
    EXPECT_EQ(std::string(signal.name), table[i].name) << "index " << i;
    EXPECT_EQ(signal.type, table[i].type) << table[i].name;
    EXPECT_EQ(signal.address, table[i].address) << table[i].name;
    served[table[i].type].push_back(table[i].address);
  }
  for (auto& [type, addresses] : served) std::sort(addresses.begin(), addresses.end());
  const auto list = [](const auto& addresses) {
    return std::vector<int>(addresses.begin(), addresses.end());
  };
  EXPECT_EQ(served[AddressType::Coil], list(JoystickMap::kCoils));
  EXPECT_EQ(served[AddressType::InputRegister], list(JoystickMap::kInputRegisters));
  EXPECT_EQ(served[AddressType::HoldingRegister], list(JoystickMap::kHoldingRegisters));
  EXPECT_EQ(served.count(AddressType::DiscreteInput), 0u);
}

}  // namespace
