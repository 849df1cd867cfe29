// Hostile device-info strings handed to the signal registry, as the start
// options' "device_info" reaches it. A text that can never reach a slave is
// refused with one Error however often it comes; any other gives a device
// that simply does not connect, without crashing the poll thread, touching
// files it should not, or sending anything anywhere but to the loopback
// address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "host_rig/rig_timing.h"
#include "host_rig/scratch_folder.h"
#include "support/log_capture.h"

namespace rocker_reliability {
namespace {

using namespace velk::host_rig::timing;
using velk::host_rig::ScratchFolder;

using velk::zorv_control::ModbusWrapperImpl;

std::string deviceNameOf(const std::string& info) {
  return ModbusWrapperImpl::parseWithDefaults(info).device_name;
}

TEST(DeviceInfoInputTest, HostileStringsAreRefusedOnceOrGiveDevicesThatDoNotConnect) {
  ScratchFolder dir;
  const std::string plain_file = dir.write("not-a-serial-line", "untouched");
  // Refused texts name this one: no device may be made under its name.
  const std::string refused_file = dir.write("refused-line", "untouched");
  struct Case {
    std::string info;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"", true},
      {",,,,,", true},
      {std::string(1 << 20, 'a'), false},
      {std::string(100000, ','), true},
      {"\xff\xfe\xfd,\xc3\x28", true},
      {std::string("127.0.0.1\0junk,1", 16), false},
      {"127.0.0.1,99999999999999999999", true},
      {"127.0.0.1,-1", true},
      {"127.0.0.1,0", true},
      {"127.0.0.1,70000", true},
      {"not-an-address,1502", false},
      {"127.0.0.1:1502,x", true},
      {dir.path() + ",9600,N,8,1", false},
      {plain_file + ",9600,N,8,1", false},
      {refused_file + ",9600,X,8,1", true},
      {refused_file + ",-9600,\x01,-8,99", true},
      {refused_file + ",2147483647,N,2147483647,2147483647", true},
      {dir.file("missing") + ",9600,N,8,1,6,7,8,9", false},
  };
  velk::test::LogCapture log;
  int refusals = 0;
  {
    ModbusWrapperImpl registry(log.callback());
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const Case& c = cases[i];
      const std::string name = "signal_" + std::to_string(i);
      // Twice, as the rocker service adds its signals again on every return
      // to mode 8: a refusal is said once.
      for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(registry.modbusAddSignal(c.info, 2, 0, 1, name), 0) << i;
      }
      EXPECT_EQ(registry.modbusSendCustomCommand(c.info, 2, 3, {0, 1, 0, 1}), 0) << i;
      EXPECT_EQ(registry.getModbusDeviceByName(deviceNameOf(c.info)) == nullptr, c.refused) << i;
      refusals += c.refused ? 1 : 0;
    }
    EXPECT_EQ(log.countContaining("refused, no device is made for it"), refusals);
    // Until the first connection attempt of every device (its 102nd pass)
    // has failed.
    EXPECT_TRUE(waitFor(
        [&] {
          for (const Case& c : cases) {
            const auto* device = registry.getModbusDeviceByName(deviceNameOf(c.info));
            if (!c.refused && (device == nullptr || device->connectionProblem().empty())) {
              return false;
            }
          }
          return true;
        },
        5000ms));
    for (std::size_t i = 0; i < cases.size(); ++i) {
      if (cases[i].refused) continue;
      const auto* device = registry.getModbusDeviceByName(deviceNameOf(cases[i].info));
      ASSERT_NE(device, nullptr) << i;
      EXPECT_FALSE(device->isConnected()) << i;
      EXPECT_FALSE(device->connectionProblem().empty()) << i;
    }
    const std::vector<int> errors = registry.modbusGetSignalErrors();
    EXPECT_EQ(errors.size(), cases.size() - static_cast<std::size_t>(refusals));
  }
  EXPECT_EQ(ScratchFolder::read(plain_file), "untouched");
  EXPECT_EQ(ScratchFolder::read(refused_file), "untouched");
  EXPECT_EQ(log.countContaining("Connected to Modbus Slave"), 0);
}

}  // namespace
}  // namespace rocker_reliability
