// rocker-sim --monitor against the simulated joystick, in its line mode (standard
// output not a terminal): what the device sends shows up as lines, a key on
// standard input sets a light at the device, a device that falls silent or
// goes away is said to, and a device that never answers ends with a clear
// line and a failing exit status.
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "joystick_sim/joystick_map.h"
#include "joystick_sim/loopback_socket.h"
#include "joystick_sim/modbus_slave.h"
#include "joystick_sim/simulated_joystick.h"
#include "tools/sim_process.h"
#include "tools/sim_workspace.h"

namespace {

using rocker_sim_test::SimProcess;
using rocker_sim_test::SimWorkspace;
using velk::joystick_sim::Button;
using velk::joystick_sim::JoystickMap;
using velk::joystick_sim::SimulatedJoystick;

SimProcess::Result monitor(const std::string& device_info, const std::string& duration,
                           const std::string& keys, SimWorkspace& space) {
  return SimProcess::run(
      {ROCKER_SIM_EXECUTABLE, "--monitor", "--device-info", device_info, "--duration", duration},
      space.path(), std::chrono::seconds(60), keys);
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs the monitor for 5 s; once it polls, the stick moves and the power
// button is pressed. "1" on standard input switches the power light.
void watchJoystick(SimulatedJoystick::Transport transport) {
  SimulatedJoystick joystick(transport, std::chrono::seconds(60));
  joystick.setStick({0, -250, 0, 0, 0, 0});
  SimWorkspace space;
  SimProcess::Result result;
  const std::string device_info = joystick.deviceInfo();
  std::thread run([&] { result = monitor(device_info, "5", "1", space); });
  joystick.slave()->waitForRequests(MODBUS_FC_READ_INPUT_REGISTERS, 1, std::chrono::seconds(4));
  joystick.setStick({312, -250, 0, 0, 0, 0});
  joystick.setButton(Button::kPower, true);
  run.join();

  ASSERT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_TRUE(contains(result.out, "device answering")) << result.out;
  EXPECT_TRUE(contains(result.out, "get_y -250")) << result.out;
  EXPECT_TRUE(contains(result.out, "get_x 312")) << result.out;
  EXPECT_TRUE(contains(result.out, "get_button_0 1")) << result.out;
  EXPECT_TRUE(contains(result.out, "firmware 1.1.3 (0x1083)")) << result.out;
  EXPECT_TRUE(contains(result.out, "hardware 2:2 (0x2100)")) << result.out;
  EXPECT_TRUE(contains(result.out, "set power light on")) << result.out;
  EXPECT_TRUE(contains(result.out, "; advice stick_rate = ")) << "the line measured";
  EXPECT_TRUE(joystick.lights().power) << "the power light reached the device";
  for (const auto& write : joystick.slave()->writes()) {
    EXPECT_TRUE(write.function == 5 && write.address == JoystickMap::kPowerLightCoil &&
                write.value == 1)
        << "only the light asked for is written";
  }
}

TEST(RockerSimMonitor, ShowsWhatATcpOrAnRtuJoystickSends) {
  for (const auto transport :
       {SimulatedJoystick::Transport::kTcp, SimulatedJoystick::Transport::kRtu}) {
    SCOPED_TRACE(transport == SimulatedJoystick::Transport::kTcp ? "TCP" : "RTU");
    watchJoystick(transport);
  }
}

// The joystick answers, falls silent, then is unplugged: the monitor says
// each, marks the values stale and names the error the signals met.
TEST(RockerSimMonitor, SaysWhenTheDeviceFallsSilentAndWhenItIsGone) {
  SimulatedJoystick joystick(SimulatedJoystick::Transport::kTcp, std::chrono::seconds(60));
  SimWorkspace space;
  SimProcess::Result result;
  const std::string device_info = joystick.deviceInfo();
  std::thread run([&] { result = monitor(device_info, "7", "", space); });
  joystick.slave()->waitForRequests(MODBUS_FC_READ_INPUT_REGISTERS, 1, std::chrono::seconds(4));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  joystick.setSilent(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  joystick.unplug();
  run.join();

  ASSERT_EQ(result.status, 0) << result.out << result.err;
  for (const char* line :
       {"device answering", "device not answering since", "stale (older than 0.30 s): all signals",
        "last error: error 6 (busy, or no reply in time)",
        "device not connected: connection lost"}) {
    EXPECT_TRUE(contains(result.out, line)) << line << "\n" << result.out;
  }
}

TEST(RockerSimMonitor, ADeviceThatNeverAnswersEndsWithAFailure) {
  // A loopback port that nothing listens on.
  int port = 0;
  ::close(velk::joystick_sim::LoopbackSocket::listen(0, &port));

  SimWorkspace space;
  const auto result = monitor("127.0.0.1," + std::to_string(port), "3", "", space);
  EXPECT_EQ(result.status, 1) << result.out << result.err;
  EXPECT_TRUE(contains(result.out, "no answer from 127.0.0.1," + std::to_string(port) + " yet"))
      << result.out;
  EXPECT_TRUE(contains(result.out, "device not connected: Connection refused")) << result.out;
  EXPECT_TRUE(contains(result.err, "never answered")) << result.err;
}

}  // namespace
