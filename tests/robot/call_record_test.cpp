#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/common_interface/io_control.h"
#include "host/common_interface/motion_control.h"
#include "host/common_interface/robot_interface.h"
#include "host/common_interface/robot_state.h"
#include "host/common_interface/runtime_machine.h"
#include "host/common_interface/zorv_api.h"
#include "host/common_interface/zorv_math.h"
#include "robot_sim/simulated_robot.h"

namespace {

using velk::sim::CallKind;
using velk::sim::RecordedCall;
using Vector = std::vector<double>;

std::vector<std::string> namesOf(const std::vector<RecordedCall>& calls) {
  std::vector<std::string> names;
  for (const RecordedCall& call : calls) names.push_back(call.name);
  return names;
}

class CallRecordTest : public ::testing::Test {
 protected:
  std::shared_ptr<velk::common_interface::RobotInterface> robotInterface() {
    return api_->getRobotInterface("rob1");
  }

  velk::sim::SimulatedRobot robot_;
  std::shared_ptr<velk::common_interface::ZorvApi> api_ = robot_.api();
};

TEST_F(CallRecordTest, CommandsAreRecordedInOrderWithArgumentsResultsAndTimes) {
  auto robot = robotInterface();
  robot->getIoControl()->setToolVoltageOutputDomain(0);
  robot->getIoControl()->setToolVoltageOutputDomain(24);
  robot_.advance(0.5);
  robot->getMotionControl()->speedLine({0.01, -0.02, 0.03, 0, 0, 0}, 1.0, 100.0);
  robot_.advance(0.25);
  robot->getMotionControl()->stopLine(4.0, 4.0);
  api_->getRuntimeMachine()->deleteTask(0);

  const std::vector<RecordedCall> commands = robot_.commands();
  ASSERT_EQ((std::vector<std::string>{"setToolVoltageOutputDomain", "setToolVoltageOutputDomain",
                                      "speedLine", "stopLine", "deleteTask"}),
            namesOf(commands));
  EXPECT_EQ(Vector{0}, commands[0].args);
  EXPECT_EQ(Vector{24}, commands[1].args);
  EXPECT_EQ((Vector{0.01, -0.02, 0.03, 0, 0, 0, 1.0, 100.0}), commands[2].args);
  EXPECT_EQ((Vector{4.0, 4.0}), commands[3].args);
  EXPECT_EQ(Vector{0}, commands[4].args);
  for (const RecordedCall& call : commands) {
    EXPECT_EQ(CallKind::kCommand, call.kind);
    EXPECT_EQ(Vector{velk::sim::kResultOk}, call.result) << call.name;
  }
  EXPECT_DOUBLE_EQ(0.0, commands[1].sim_time);
  EXPECT_DOUBLE_EQ(0.5, commands[2].sim_time);
  EXPECT_DOUBLE_EQ(0.75, commands[3].sim_time);
  for (std::size_t i = 1; i < commands.size(); ++i) {
    EXPECT_LE(commands[i - 1].steady_time, commands[i].steady_time);
  }
}

TEST_F(CallRecordTest, QueriesAreRecordedWithWhatTheyReturned) {
  robot_.setRobotNames({"left", "right"});
  EXPECT_EQ(2u, api_->getRobotNames().size());
  auto robot = api_->getRobotInterface("left");
  robot->getRobotState()->getRobotModeType();
  robot->getRobotState()->isSteady();
  const Vector pose = robot->getRobotState()->getToolPose();
  api_->getMath()->poseTrans({1, 2, 3, 0, 0, 0}, {4, 5, 6, 0, 0, 0});
  robot->getIoControl()->setToolVoltageOutputDomain(7);

  const std::vector<RecordedCall> calls = robot_.calls();
  ASSERT_EQ((std::vector<std::string>{"getRobotNames", "getRobotInterface", "getRobotModeType",
                                      "isSteady", "getToolPose", "poseTrans",
                                      "setToolVoltageOutputDomain"}),
            namesOf(calls));
  EXPECT_EQ("left,right", calls[0].text);
  EXPECT_EQ("left", calls[1].text);
  EXPECT_EQ(Vector{velk::sim::kRobotModeRunning}, calls[2].result);
  EXPECT_EQ(Vector{1}, calls[3].result);
  EXPECT_EQ(pose, calls[4].result);
  EXPECT_EQ((Vector{1, 2, 3, 0, 0, 0, 4, 5, 6, 0, 0, 0}), calls[5].args);
  EXPECT_EQ((Vector{5, 7, 9, 0, 0, 0}), calls[5].result);
  EXPECT_EQ(Vector{velk::sim::kResultInvalidArgument}, calls[6].result);
  EXPECT_EQ(0, robot_.toolVoltage()) << "a refused voltage is not applied";

  EXPECT_EQ(1u, robot_.callsNamed("poseTrans").size());
  EXPECT_TRUE(robot_.callsNamed("speedLine").empty());
}

TEST_F(CallRecordTest, BoundedRecordKeepsTheNewestAndCountsTheDropped) {
  auto io = robotInterface()->getIoControl();
  robot_.clearCalls();
  robot_.setCallRecordCapacity(3);
  for (int volts : {0, 12, 24, 0, 12}) io->setToolVoltageOutputDomain(volts);
  const std::vector<RecordedCall> calls = robot_.calls();
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ(Vector{24}, calls[0].args);
  EXPECT_EQ(Vector{12}, calls[2].args);
  EXPECT_EQ(2u, robot_.droppedCalls());

  robot_.setCallRecordCapacity(1);
  EXPECT_EQ(1u, robot_.calls().size());
  EXPECT_EQ(4u, robot_.droppedCalls());

  robot_.clearCalls();
  EXPECT_TRUE(robot_.calls().empty());
  EXPECT_EQ(0u, robot_.droppedCalls());
}

TEST_F(CallRecordTest, QueriesCanBeLeftOutForLongRunsAndAreCountedByName) {
  robot_.setRecordQueries(false);
  auto robot = robotInterface();
  robot->getRobotState()->getToolPose();
  robot->getRobotState()->getToolPose();
  robot->getMotionControl()->stopLine(4.0, 4.0);
  EXPECT_EQ(std::vector<std::string>{"stopLine"}, namesOf(robot_.calls()));
  EXPECT_EQ(robot_.queryCounts().at("getToolPose"), 2u);
  EXPECT_EQ(robot_.queryCounts().count("stopLine"), 0u);
}

TEST_F(CallRecordTest, CommandingThreadAndReadingThreadShareTheRobot) {
  constexpr int kRounds = 300;
  constexpr std::size_t kCapacity = 100;
  auto robot = robotInterface();
  robot_.clearCalls();
  robot_.setCallRecordCapacity(kCapacity);
  std::atomic<bool> done{false};
  std::thread commander([&robot, &done] {
    auto motion = robot->getMotionControl();
    for (int i = 0; i < kRounds; ++i) {
      motion->speedLine({0.05, 0, 0, 0, 0, 0}, 1.0, 100.0);
      robot->getRobotState()->getToolPose();
      motion->stopLine(4.0, 4.0);
    }
    done = true;
  });
  std::size_t reads = 0;
  while (!done || reads == 0) {
    for (const RecordedCall& call : robot_.calls()) ASSERT_FALSE(call.name.empty());
    robot_.advance(0.001);
    robot_.toolPose();
    ++reads;
  }
  commander.join();

  const std::vector<RecordedCall> calls = robot_.calls();
  ASSERT_EQ(kCapacity, calls.size());
  EXPECT_EQ(3u * kRounds - kCapacity, robot_.droppedCalls());
  // The newest entries, in the order the commander made them.
  const char* const pattern[] = {"speedLine", "getToolPose", "stopLine"};
  const std::size_t offset = (3u * kRounds - kCapacity) % 3;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(pattern[(i + offset) % 3], calls[i].name) << i;
    if (i > 0) {
      EXPECT_LE(calls[i - 1].sim_time, calls[i].sim_time);
    }
  }
}

}  // namespace
