#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "host/common_interface/motion_control.h"
#include "host/common_interface/robot_interface.h"
#include "host/common_interface/robot_state.h"
#include "host/common_interface/system_info.h"
#include "host/common_interface/zorv_api.h"
#include "robot_sim/simulated_robot.h"

namespace {

using velk::sim::kResultInvalidArgument;
using velk::sim::kResultNotReady;
using velk::sim::kResultOk;
using Vector = std::vector<double>;

constexpr double kTolerance = 1e-9;
// The start pose of a new simulated robot.
constexpr double kStartX = 0.4;
constexpr double kStartY = 0.0;
constexpr double kStartZ = 0.3;

class RobotMotion : public ::testing::Test {
 protected:
  RobotMotion() {
    auto robot = api_->getRobotInterface(api_->getRobotNames().front());
    motion_ = robot->getMotionControl();
    state_ = robot->getRobotState();
  }

  double x() { return state_->getToolPose()[0]; }

  velk::sim::SimulatedRobot robot_;
  std::shared_ptr<velk::common_interface::ZorvApi> api_ = robot_.api();
  std::shared_ptr<velk::common_interface::MotionControl> motion_;
  std::shared_ptr<velk::common_interface::RobotState> state_;
};

TEST_F(RobotMotion, SpeedIsReachedAlongARampAtTheGivenAcceleration) {
  ASSERT_EQ(kResultOk, motion_->speedLine({0.1, 0, 0, 0, 0, 0}, 1.0, 100.0));
  robot_.advance(0.05);
  EXPECT_NEAR(0.05, robot_.toolSpeed()[0], kTolerance);
  EXPECT_NEAR(kStartX + 0.5 * 1.0 * 0.05 * 0.05, x(), kTolerance);
  robot_.advance(0.05);
  EXPECT_NEAR(0.1, robot_.toolSpeed()[0], kTolerance);
  robot_.advance(1.0);
  EXPECT_NEAR(0.1, robot_.toolSpeed()[0], kTolerance);
  // 0.005 m on the ramp, then 1 s at full speed.
  EXPECT_NEAR(kStartX + 0.005 + 0.1, x(), kTolerance);
  const Vector pose = state_->getToolPose();
  EXPECT_NEAR(kStartY, pose[1], kTolerance);
  EXPECT_NEAR(kStartZ, pose[2], kTolerance);
}

TEST_F(RobotMotion, ObliqueSpeedKeepsItsDirectionAndRampsItsMagnitude) {
  // |(0.03, -0.04, 0)| = 0.05 m/s at 0.5 m/s^2: full speed after 0.1 s.
  ASSERT_EQ(kResultOk, motion_->speedLine({0.03, -0.04, 0, 0, 0, 0}, 0.5, 100.0));
  robot_.advance(0.05);
  EXPECT_NEAR(0.015, robot_.toolSpeed()[0], kTolerance);
  EXPECT_NEAR(-0.02, robot_.toolSpeed()[1], kTolerance);
  robot_.advance(0.45);
  const Vector pose = state_->getToolPose();
  // The path is straight: 0.05 * 0.5 - 0.05^2 / (2 * 0.5) = 0.0225 m along it.
  EXPECT_NEAR(kStartX + 0.0225 * 0.6, pose[0], kTolerance);
  EXPECT_NEAR(kStartY - 0.0225 * 0.8, pose[1], kTolerance);
}

TEST_F(RobotMotion, MotionWindsDownOnceTheTimeBoundHasPassed) {
  // Full speed is reached: the trapezoid covers speed * t.
  ASSERT_EQ(kResultOk, motion_->speedLine({0, 0, 0.1, 0, 0, 0}, 1.0, 0.5));
  robot_.advance(0.5);
  EXPECT_NEAR(0.1, robot_.toolSpeed()[2], kTolerance);
  EXPECT_FALSE(state_->isSteady());
  robot_.advance(0.05);
  EXPECT_NEAR(0.05, robot_.toolSpeed()[2], kTolerance);
  robot_.advance(0.05);
  EXPECT_TRUE(state_->isSteady());
  robot_.advance(1.0);
  EXPECT_NEAR(kStartZ + 0.1 * 0.5, state_->getToolPose()[2], kTolerance);

  // t shorter than the ramp: up to a * t, then down again, a * t^2 in all.
  const double z = state_->getToolPose()[2];
  ASSERT_EQ(kResultOk, motion_->speedLine({0, 0, 0.1, 0, 0, 0}, 1.0, 0.05));
  robot_.advance(0.05);
  EXPECT_NEAR(0.05, robot_.toolSpeed()[2], kTolerance);
  robot_.advance(1.0);
  EXPECT_TRUE(state_->isSteady());
  EXPECT_NEAR(z + 1.0 * 0.05 * 0.05, state_->getToolPose()[2], kTolerance);
}

TEST_F(RobotMotion, StopLineDeceleratesToRestAndOnlyThenIsTheRobotSteady) {
  EXPECT_TRUE(state_->isSteady());
  ASSERT_EQ(kResultOk, motion_->speedLine({0.1, 0, 0, 0, 0, 0}, 1.0, 100.0));
  EXPECT_FALSE(state_->isSteady()) << "commanded to move is not at rest";
  robot_.advance(1.0);
  const double x_at_stop = x();
  ASSERT_EQ(kResultOk, motion_->stopLine(0.5, 4.0));
  robot_.advance(0.1);
  EXPECT_FALSE(state_->isSteady());
  EXPECT_NEAR(0.05, robot_.toolSpeed()[0], kTolerance);
  robot_.advance(0.1);
  EXPECT_TRUE(state_->isSteady());
  EXPECT_NEAR(x_at_stop + 0.1 * 0.1 / (2 * 0.5), x(), kTolerance);
  robot_.advance(200.0);
  EXPECT_NEAR(x_at_stop + 0.01, x(), kTolerance) << "a stop ends the time bound for good";
}

TEST_F(RobotMotion, AngularSpeedTurnsTheToolAboutTheBaseAxes) {
  ASSERT_EQ(kResultOk, motion_->speedLine({0, 0, 0, 0, 0, 0.5}, 1.0, 1.0));
  robot_.advance(0.25);
  EXPECT_NEAR(0.25, robot_.toolSpeed()[5], kTolerance);
  robot_.advance(2.0);
  const Vector pose = state_->getToolPose();
  EXPECT_NEAR(0.5, pose[5], 1e-9);
  EXPECT_NEAR(0.0, pose[3], 1e-9);
  EXPECT_NEAR(0.0, pose[4], 1e-9);
  EXPECT_NEAR(kStartX, pose[0], kTolerance) << "turning leaves the tool point in place";
}

TEST_F(RobotMotion, NewSpeedLineRampsFromTheSpeedReached) {
  ASSERT_EQ(kResultOk, motion_->speedLine({0.1, 0, 0, 0, 0, 0}, 1.0, 100.0));
  robot_.advance(0.5);
  ASSERT_EQ(kResultOk, motion_->speedLine({-0.1, 0, 0, 0, 0, 0}, 2.0, 100.0));
  robot_.advance(0.05);
  EXPECT_NEAR(0.0, robot_.toolSpeed()[0], kTolerance);
  robot_.advance(0.05);
  EXPECT_NEAR(-0.1, robot_.toolSpeed()[0], kTolerance);
}

TEST_F(RobotMotion, MalformedCommandsAreRefusedAndChangeNothing) {
  const Vector speed = {0.1, 0, 0, 0, 0, 0};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(kResultInvalidArgument, motion_->speedLine({0.1, 0, 0}, 1.0, 1.0));
  EXPECT_EQ(kResultInvalidArgument, motion_->speedLine({nan, 0, 0, 0, 0, 0}, 1.0, 1.0));
  EXPECT_EQ(kResultInvalidArgument, motion_->speedLine(speed, 0.0, 1.0));
  EXPECT_EQ(kResultInvalidArgument, motion_->speedLine(speed, 1.0, -1.0));
  EXPECT_EQ(kResultInvalidArgument, motion_->speedLine(speed, 1.0, nan));
  robot_.advance(1.0);
  EXPECT_TRUE(state_->isSteady());
  EXPECT_NEAR(kStartX, x(), kTolerance);

  ASSERT_EQ(kResultOk, motion_->speedLine(speed, 1.0, 100.0));
  robot_.advance(1.0);
  EXPECT_EQ(kResultInvalidArgument, motion_->stopLine(0.0, 4.0));
  EXPECT_EQ(kResultInvalidArgument, motion_->stopLine(4.0, -4.0));
  robot_.advance(1.0);
  EXPECT_NEAR(0.1, robot_.toolSpeed()[0], kTolerance) << "a refused stop does not stop";
}

TEST_F(RobotMotion, RobotThatMayNotMoveRefusesSpeedAndHaltsWhenItStopsBeingReady) {
  const Vector speed = {0.1, 0, 0, 0, 0, 0};
  robot_.setFreedriveEnabled(true);
  EXPECT_EQ(kResultNotReady, motion_->speedLine(speed, 1.0, 1.0));
  robot_.setFreedriveEnabled(false);
  robot_.setSafetyModeType(3);
  EXPECT_EQ(kResultNotReady, motion_->speedLine(speed, 1.0, 1.0));
  robot_.setSafetyModeType(velk::sim::kSafetyModeNormal);
  robot_.setRobotModeType(5);
  EXPECT_EQ(kResultNotReady, motion_->speedLine(speed, 1.0, 1.0));
  robot_.setRobotModeType(velk::sim::kRobotModeRunning);
  robot_.advance(1.0);
  EXPECT_NEAR(kStartX, x(), kTolerance);

  ASSERT_EQ(kResultOk, motion_->speedLine(speed, 1.0, 100.0));
  robot_.advance(1.0);
  robot_.setSafetyModeType(3);
  EXPECT_TRUE(state_->isSteady());
  const double x_at_halt = x();
  robot_.advance(1.0);
  EXPECT_EQ(x_at_halt, x());
}

TEST_F(RobotMotion, ControlSystemTimeIsSimulatedMilliseconds) {
  auto info = api_->getSystemInfo();
  EXPECT_EQ(0, info->getControlSystemTime());
  robot_.advance(1.2345);
  EXPECT_EQ(1234, info->getControlSystemTime());
  for (int i = 0; i < 1000; ++i) robot_.advance(0.001);
  EXPECT_EQ(2234, info->getControlSystemTime()) << "small steps add up without rounding drift";
  EXPECT_THROW(robot_.advance(-0.1), std::invalid_argument);
}

TEST_F(RobotMotion, RealTimeModeMovesTheToolWithTheSteadyClock) {
  robot_.setRealTime(true);
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(kResultOk, motion_->speedLine({0.1, 0, 0, 0, 0, 0}, 10.0, 100.0));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const double moved = x() - kStartX;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_GT(moved, 0.1 * (0.05 - 0.01));  // full speed after 10 ms
  EXPECT_LE(moved, 0.1 * elapsed + 1e-9);
  EXPECT_GE(robot_.simTime(), 0.05);
}

}  // namespace
