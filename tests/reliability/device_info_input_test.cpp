// Hostile device-info strings handed to the signal registry, as the start
// options' "device_info" reaches it. None is refused (missing fields keep
// their defaults); each must give a device that simply does not connect,
// without crashing the poll thread, touching files it should not, or
// sending anything anywhere but to the loopback address.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "communication/modbus_wrapper/device_parameters.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "host_rig/scratch_folder.h"
#include "reliability/rig_timing.h"
#include "support/log_capture.h"

namespace rocker_reliability {
namespace {

using velk::zorv_control::DeviceParameters;
using velk::zorv_control::ModbusWrapperImpl;

std::string contentOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  if (in.peek() != std::ifstream::traits_type::eof()) content << in.rdbuf();
  return content.str();
}

std::string deviceNameOf(const std::string& info) {
  DeviceParameters p;
  ModbusWrapperImpl::parseDeviceInfo(info, p.device_name, p.host, p.port, p.serial_path, p.baud,
                                     p.parity, p.data_bits, p.stop_bits, p.tcp);
  return p.device_name;
}

TEST(DeviceInfoInputTest, HostileStringsGiveDevicesThatDoNotConnect) {
  velk::host_rig::ScratchFolder dir;
  const std::string plain_file = dir.file("not-a-serial-line");
  std::ofstream(plain_file) << "untouched";
  const std::vector<std::string> infos = {
      "",
      ",,,,,",
      std::string(1 << 20, 'a'),
      std::string(100000, ','),
      "\xff\xfe\xfd,\xc3\x28",
      std::string("127.0.0.1\0junk,1", 16),
      "127.0.0.1,99999999999999999999",
      "127.0.0.1,-1",
      "127.0.0.1,0",
      "not-an-address,1502",
      "127.0.0.1:1502,x",
      dir.path() + ",9600,N,8,1",
      plain_file + ",9600,N,8,1",
      plain_file + ",-9600,\x01,-8,99",
      plain_file + ",2147483647,N,2147483647,2147483647",
      dir.file("missing") + ",9600,N,8,1,6,7,8,9",
  };
  velk::test::LogCapture log;
  {
    ModbusWrapperImpl registry(log.callback());
    for (std::size_t i = 0; i < infos.size(); ++i) {
      EXPECT_EQ(registry.modbusAddSignal(infos[i], 2, 0, 1, "signal_" + std::to_string(i)), 0);
      EXPECT_NE(registry.getModbusDeviceByName(deviceNameOf(infos[i])), nullptr) << i;
    }
    // Past the first connection attempt of every device (the 102nd pass).
    std::this_thread::sleep_for(scaled(2500ms));
    for (std::size_t i = 0; i < infos.size(); ++i) {
      const auto* device = registry.getModbusDeviceByName(deviceNameOf(infos[i]));
      ASSERT_NE(device, nullptr) << i;
      EXPECT_FALSE(device->isConnected()) << i;
    }
    const std::vector<int> errors = registry.modbusGetSignalErrors();
    EXPECT_EQ(errors.size(), infos.size());
  }
  EXPECT_EQ(contentOf(plain_file), "untouched");
  EXPECT_EQ(log.countContaining("Connected to Modbus Slave"), 0);
}

}  // namespace
}  // namespace rocker_reliability
