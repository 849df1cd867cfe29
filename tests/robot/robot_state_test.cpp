#include "host/common_interface/robot_state.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/common_interface/io_control.h"
#include "host/common_interface/robot_interface.h"
#include "host/common_interface/robot_manage.h"
#include "host/common_interface/runtime_machine.h"
#include "host/common_interface/zorv_api.h"
#include "robot_sim/simulated_robot.h"

namespace {

using Names = std::vector<std::string>;

TEST(RobotStateSim, NewRobotIsReadyToBeJogged) {
  velk::sim::SimulatedRobot sim;
  auto api = sim.api();
  ASSERT_EQ(Names{"rob1"}, api->getRobotNames());
  auto robot = api->getRobotInterface("rob1");
  EXPECT_EQ(velk::sim::kRobotModeRunning, robot->getRobotState()->getRobotModeType());
  EXPECT_EQ(velk::sim::kSafetyModeNormal, robot->getRobotState()->getSafetyModeType());
  EXPECT_EQ(velk::sim::kRuntimeIdle, api->getRuntimeMachine()->getStatus());
  EXPECT_FALSE(robot->getRobotManage()->isFreedriveEnabled());
  EXPECT_TRUE(robot->getRobotState()->isSteady());
  EXPECT_EQ((std::vector<double>{0.4, 0.0, 0.3, 0.0, 0.0, 0.0}),
            robot->getRobotState()->getToolPose());
}

TEST(RobotStateSim, SettersShowThroughTheApi) {
  velk::sim::SimulatedRobot sim;
  auto api = sim.api();
  auto robot = api->getRobotInterface("rob1");
  sim.setRobotModeType(5);
  sim.setSafetyModeType(3);
  sim.setRuntimeStatus(velk::sim::kRuntimePaused);
  sim.setFreedriveEnabled(true);
  sim.setToolPose({0.1, 0.2, 0.3, 0.1, -0.2, 0.3});
  EXPECT_EQ(5, robot->getRobotState()->getRobotModeType());
  EXPECT_EQ(3, robot->getRobotState()->getSafetyModeType());
  EXPECT_EQ(velk::sim::kRuntimePaused, api->getRuntimeMachine()->getStatus());
  EXPECT_TRUE(robot->getRobotManage()->isFreedriveEnabled());
  const std::vector<double> pose = robot->getRobotState()->getToolPose();
  const std::vector<double> expected = {0.1, 0.2, 0.3, 0.1, -0.2, 0.3};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(expected[i], pose[i], 1e-12);

  auto io = robot->getIoControl();
  EXPECT_EQ(velk::sim::kResultOk, io->setToolVoltageOutputDomain(24));
  EXPECT_EQ(24, sim.toolVoltage());
  EXPECT_THROW(sim.setToolPose({1, 2, 3}), std::invalid_argument);
}

TEST(RobotStateSim, EmptyNameListMeansNoRobot) {
  velk::sim::SimulatedRobot sim;
  sim.setRobotNames({});
  EXPECT_TRUE(sim.api()->getRobotNames().empty());
  sim.setRobotNames({"a", "b"});
  EXPECT_EQ((Names{"a", "b"}), sim.api()->getRobotNames());
}

TEST(RobotStateSim, HandlesKeepTheRobotAliveAfterTheSimulatorIsGone) {
  std::shared_ptr<velk::common_interface::RobotState> state;
  {
    velk::sim::SimulatedRobot sim;
    sim.setRobotModeType(7);
    state = sim.api()->getRobotInterface("rob1")->getRobotState();
  }
  EXPECT_EQ(7, state->getRobotModeType());
}

}  // namespace
