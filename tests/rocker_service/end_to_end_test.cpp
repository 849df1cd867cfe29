#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "common/log_level.h"
#include "host/kelmi/periodic_thread.h"
#include "host_rig/rig_timing.h"
#include "joystick_sim/joystick_map.h"
#include "joystick_sim/tcp_slave.h"
#include "robot_sim/simulated_robot.h"
#include "rocker/rocker_service/rocker_service.h"
#include "rocker_service/scratch_folder.h"
#include "rocker_service/service_rig.h"
#include "support/log_capture.h"

namespace velk::zorv_comm {
namespace {

using Map = joystick_sim::JoystickMap;
using std::chrono::milliseconds;

template <class Condition>
bool waitFor(Condition condition) {
  return host_rig::timing::waitFor(condition, milliseconds(8000));
}

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

  slave.setCoil(Map::kPowerButtonCoil, true);
  ASSERT_TRUE(waitFor([&] { return log.count(kLogInfo, "startup rocker") == 1; }));
  // Read centred once after jogging was switched on (a reply has reached the
  // service once the next read arrives), then pushed.
  const int reads = slave.requestCount(MODBUS_FC_READ_INPUT_REGISTERS);
  ASSERT_TRUE(slave.waitForRequests(MODBUS_FC_READ_INPUT_REGISTERS, reads + 2, milliseconds(5000)));
  slave.setInputRegister(Map::kFirstAxisRegister, 400);
  ASSERT_TRUE(waitFor([&] { return robot.callsNamed("speedLine").size() == 1; }));
  const auto speed = robot.callsNamed("speedLine")[0].args;
  EXPECT_NEAR(speed[0], 0.04, 1e-9) << "x of the stick is x of the base";
  EXPECT_EQ(speed[1], 0.0);
  EXPECT_EQ(speed[2], 0.0);

  const auto dropped = std::chrono::steady_clock::now();
  slave.dropClients();
  ASSERT_TRUE(waitFor([&] { return robot.callsNamed("stopLine").size() == 1; }));
  const auto stop = robot.callsNamed("stopLine")[0];
  EXPECT_LT(stop.steady_time - dropped, milliseconds(500));
  EXPECT_EQ(stop.args, (std::vector<double>{4.0, 4.0}));
  thread.stop();
  thread.join();
  EXPECT_EQ(robot.callsNamed("speedLine").size(), 1u);
}

// A rocker service whose joystick is a real Modbus TCP slave on loopback,
// read and written by the real registry and poll thread; the test thread
// runs the service's cycle.
struct ServiceJoystickRig {
  ServiceJoystickRig()
      : rig("127.0.0.1," + std::to_string(slave.port()), test::ServiceRig::Feed::kRegistry) {}

  // Every signal read from the slave, none in error now.
  bool healthy() const {
    const auto errors = rig.registry->modbusGetSignalErrors();
    const auto read_times = rig.registry->modbusGetSignalReadTimes();
    return errors.size() == 16 && std::count(errors.begin(), errors.end(), 0) == 16 &&
           std::count(read_times.begin(), read_times.end(),
                      std::chrono::steady_clock::time_point()) == 0;
  }
  // Pressed and released, each seen by a cycle.
  void press(int address, const char* name) {
    for (bool on : {true, false}) {
      slave.setCoil(address, on);
      ASSERT_TRUE(
          waitFor([&] { return healthy() && rig.registry->modbusGetSignalStatus(name) == on; }));
      rig.cycle();
    }
  }

  joystick_sim::TcpSlave slave;
  test::ServiceRig rig;
};

// What the service queues for the lights reaches the joystick.
TEST(RockerEndToEndTest, LightsReachTheJoystick) {
  ServiceJoystickRig bench;
  auto& slave = bench.slave;
  auto& robot = bench.rig.robot;
  const auto shows = [&slave](int code) {
    return waitFor([&] { return slave.holdingRegister(Map::kIndicatorRegister) == code; });
  };
  bench.rig.cycle();
  ASSERT_TRUE(waitFor([&] { return bench.healthy(); }));
  const struct {
    int safety, status;
    bool freedrive;
    int state, code;
  } rows[] = {{2, 6, false, 2, 3}, {1, 0, false, 3, 2}, {1, 6, true, 4, 4}, {1, 6, false, 5, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.state);
    robot.setSafetyModeType(row.safety);
    robot.setRuntimeStatus(row.status);
    robot.setFreedriveEnabled(row.freedrive);
    bench.rig.cycle();
    EXPECT_EQ(bench.rig.service.indicatorState(), row.state);
    EXPECT_TRUE(shows(row.code));
  }

  bench.press(Map::kPowerButtonCoil, "get_button_0");
  ASSERT_TRUE(bench.rig.service.rockerOn());
  EXPECT_TRUE(waitFor([&] { return slave.coil(Map::kPowerLightCoil); }));
  bench.press(Map::kSpeedButtonCoil, "get_button_1");
  EXPECT_TRUE(waitFor([&] { return slave.coil(Map::kSpeedLightCoil); }));
  bench.press(Map::kSpeedButtonCoil, "get_button_1");
  EXPECT_TRUE(waitFor([&] { return !slave.coil(Map::kSpeedLightCoil); }));

  // Switched off after the joystick was unreadable for a while, the light
  // says so.
  slave.rejectAddress(Map::kPowerButtonCoil, 4, 1);  // reading the coils fails; writing does not
  ASSERT_TRUE(waitFor([&] { return !bench.healthy(); }));
  EXPECT_TRUE(waitFor([&] {
    bench.rig.cycle();
    return !bench.rig.service.rockerOn();
  }));
  EXPECT_TRUE(waitFor([&] { return !slave.coil(Map::kPowerLightCoil); }));
}

}  // namespace
}  // namespace velk::zorv_comm
