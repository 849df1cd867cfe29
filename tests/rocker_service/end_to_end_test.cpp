#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <chrono>
#include <memory>

#include "common/log_level.h"
#include "host/kelmi/periodic_thread.h"
#include "joystick_sim/joystick_map.h"
#include "joystick_sim/tcp_slave.h"
#include "robot_sim/simulated_robot.h"
#include "rocker/rocker_service/rocker_service.h"
#include "rocker_service/joystick_bench.h"
#include "rocker_service/scratch_folder.h"
#include "support/log_capture.h"

namespace velk::zorv_comm {
namespace {

using std::chrono::milliseconds;
using test::JoystickBench;

// The whole road of a push as the host runs it: the service as built at
// start, its cycle on a periodic thread every 10 ms, its own registry and
// poll thread reading a real slave, and the simulated robot.
TEST(RockerEndToEndTest, StickJogsTheRobotAndALostJoystickStopsIt) {
  test::LogCapture log;
  joystick_sim::TcpSlave slave;
  sim::SimulatedRobot robot;
  test::ScratchFolder folder;
  auto service = std::make_shared<RockerService>(robot.api(), log.callback(),
                                                 "127.0.0.1," + std::to_string(slave.port()));
  service->setProperty(0.1, 0.01, 0.005, 1.0, 0.0);
  service->setAxis(1, 2, 3);
  service->setConfigPath(folder.file("package.json"));
  kelmi::PeriodicThread thread(10000, "ROCKER Server", 0, -1, 10);
  thread.addTask(
      "motion",
      [service] {
        service->updateRockerData();
        service->motion();
      },
      -1, 0, false);
  service.reset();
  thread.start(0);

  slave.setCoil(joystick_sim::JoystickMap::kPowerButtonCoil, true);
  ASSERT_TRUE(JoystickBench::waitFor([&] { return log.count(kLogInfo, "startup rocker") == 1; }));
  // Read centred once after jogging was switched on (a reply has reached the
  // service once the next read arrives), then pushed.
  const int reads = slave.requestCount(MODBUS_FC_READ_INPUT_REGISTERS);
  ASSERT_TRUE(slave.waitForRequests(MODBUS_FC_READ_INPUT_REGISTERS, reads + 2, milliseconds(5000)));
  slave.setInputRegister(joystick_sim::JoystickMap::kFirstAxisRegister, 400);
  ASSERT_TRUE(JoystickBench::waitFor([&] { return robot.callsNamed("speedLine").size() == 1; }));
  const auto speed = robot.callsNamed("speedLine")[0].args;
  EXPECT_NEAR(speed[0], 0.04, 1e-9) << "x of the stick is x of the base";
  EXPECT_EQ(speed[1], 0.0);
  EXPECT_EQ(speed[2], 0.0);

  const auto dropped = std::chrono::steady_clock::now();
  slave.dropClients();
  ASSERT_TRUE(JoystickBench::waitFor([&] { return robot.callsNamed("stopLine").size() == 1; }));
  const auto stop = robot.callsNamed("stopLine")[0];
  EXPECT_LT(stop.steady_time - dropped, milliseconds(500));
  EXPECT_EQ(stop.args, (std::vector<double>{4.0, 4.0}));
  thread.stop();
  thread.join();
  EXPECT_EQ(robot.callsNamed("speedLine").size(), 1u);
}

}  // namespace
}  // namespace velk::zorv_comm
