// rocker-sim --monitor against a joystick slave, in its line mode (standard
// output not a terminal): what the device sends shows up as lines, a key on
// standard input sets a light at the device, and a device that never
// answers ends with a clear line and a failing exit status.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "joystick_sim/pty_pair.h"
#include "joystick_sim/rtu_slave.h"
#include "joystick_sim/tcp_slave.h"
#include "tools/sim_process.h"
#include "tools/sim_workspace.h"

namespace {

using rocker_sim_test::SimProcess;
using rocker_sim_test::SimWorkspace;
using velk::joystick_sim::ModbusSlave;

SimProcess::Result monitor(const std::string& device_info, const std::string& duration,
                           const std::string& keys, SimWorkspace& space) {
  return SimProcess::run(
      {ROCKER_SIM_EXECUTABLE, "--monitor", "--device-info", device_info, "--duration", duration},
      space.path(), std::chrono::seconds(60), keys);
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs the monitor for 4 s while the stick moves and the power button is
// pressed half way through; "1" on standard input switches the power light.
void watchJoystick(ModbusSlave& joystick, const std::string& device_info) {
  joystick.setInputRegister(263, 0x1083);
  joystick.setInputRegister(264, 0x2100);
  joystick.setInputRegister(257, static_cast<uint16_t>(-250));
  SimWorkspace space;
  SimProcess::Result result;
  std::thread run([&] { result = monitor(device_info, "4", "1", space); });
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  joystick.setInputRegister(256, 312);
  joystick.setCoil(0, true);
  run.join();

  ASSERT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_TRUE(contains(result.out, "device answering")) << result.out;
  EXPECT_TRUE(contains(result.out, "get_y -250")) << result.out;
  EXPECT_TRUE(contains(result.out, "get_x 312")) << result.out;
  EXPECT_TRUE(contains(result.out, "get_button_0 1")) << result.out;
  EXPECT_TRUE(contains(result.out, "firmware 1.1.3 (0x1083)")) << result.out;
  EXPECT_TRUE(contains(result.out, "hardware 2:2 (0x2100)")) << result.out;
  EXPECT_TRUE(contains(result.out, "set power light on")) << result.out;
  EXPECT_TRUE(joystick.coil(16)) << "the power light reached the device";
  for (const auto& write : joystick.writes()) {
    EXPECT_TRUE(write.function == 5 && write.address == 16 && write.value == 1)
        << "only the light asked for is written";
  }
}

TEST(RockerSimMonitor, ShowsWhatATcpJoystickSends) {
  velk::joystick_sim::TcpSlave joystick;
  watchJoystick(joystick, "127.0.0.1," + std::to_string(joystick.port()));
}

TEST(RockerSimMonitor, ShowsWhatAnRtuJoystickSends) {
  velk::joystick_sim::PtyPair line;
  velk::joystick_sim::RtuSlave joystick(line.slavePath());
  watchJoystick(joystick, line.devicePath() + ",115200,N,8,1");
}

TEST(RockerSimMonitor, ADeviceThatNeverAnswersEndsWithAFailure) {
  // A loopback port that nothing listens on.
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(probe, reinterpret_cast<sockaddr*>(&address), size);
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  const int port = ntohs(address.sin_port);
  ::close(probe);

  SimWorkspace space;
  const auto result = monitor("127.0.0.1," + std::to_string(port), "3", "", space);
  EXPECT_EQ(result.status, 1) << result.out << result.err;
  EXPECT_TRUE(contains(result.out, "no answer from 127.0.0.1," + std::to_string(port) + " yet"))
      << result.out;
  EXPECT_TRUE(contains(result.err, "never answered")) << result.err;
}

}  // namespace
