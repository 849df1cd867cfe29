#include "rocker/rocker_service/jog_command.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "host/common_interface/zorv_api.h"
#include "host/common_interface/zorv_math.h"
#include "robot_sim/simulated_robot.h"
#include "rocker/rocker_service/rocker_signal_table.h"
#include "support/log_capture.h"

namespace velk::zorv_comm {
namespace {

StickChecks::ValueMap stick(const std::array<int, 6>& axes) {
  StickChecks::ValueMap values;
  for (std::size_t i = 0; i < axes.size(); ++i) {
    values[RockerSignalTable::axes()[i]] = static_cast<int16_t>(axes[i]);
  }
  return values;
}

// A jog command on the simulated robot's math handle, axes as given.
struct CommandRig {
  explicit CommandRig(const int (&axes)[3] = {1, 2, 3}) {
    command.setAxis(axes[0], axes[1], axes[2]);
  }
  std::optional<std::vector<double>> speedFor(const std::vector<double>& tool,
                                              const std::array<int, 6>& axes, double pose_speed) {
    return command.speedFor(*robot.api()->getMath(), tool, stick(axes), pose_speed);
  }

  test::LogCapture log;
  sim::SimulatedRobot robot;
  JogCommand command{log.callback()};
};

TEST(JogCommandTest, SpeedFollowsTheStickThroughAxesSignsAndTheToolFrame) {
  const double pi = std::acos(-1.0);
  const std::vector<double> level = {0.4, 0, 0.3, 0, 0, 0};
  const struct {
    const char* name;
    int axes[3];
    double rotation;
    std::vector<double> tool;
    std::array<int, 6> stick;
    std::vector<double> speed;
  } cases[] = {
      {"identity", {1, 2, 3}, 0, level, {300, -400, 250, 0, 0, 0}, {0.03, -0.04, 0.025}},
      {"third axis in its dead band", {-1, 2, 3}, 0, level, {500, 0, 150, 0, 0, 0}, {-0.05, 0, 0}},
      {"axes swapped and negated",
       {2, -3, 1},
       0,
       level,
       {300, 400, 500, 0, 0, 0},
       {0.04, -0.05, 0.03}},
      {"zero is -z, beyond three is z",
       {0, 7, 1},
       0,
       level,
       {300, 0, 400, 0, 0, 0},
       {-0.04, 0.04, 0.03}},
      {"tool upside down, joystick turned a quarter",
       {1, 2, 3},
       pi / 2,
       {0.4, 0, 0.3, pi, 0, 0},
       {500, 300, 0, 0, 0, 0},
       {-0.03, -0.05, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CommandRig rig(c.axes);
    rig.command.setRotation(c.rotation);
    const auto speed = rig.speedFor(c.tool, c.stick, 0.1);
    ASSERT_TRUE(speed);
    ASSERT_EQ(speed->size(), 6u);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR((*speed)[i], c.speed[i], 1e-9) << "component " << i;
    EXPECT_EQ((std::vector<double>(speed->begin() + 3, speed->end())),
              (std::vector<double>{0, 0, 0}));
    std::vector<double> frame = c.tool;
    frame.insert(frame.end(), {0, 0, 0, 0, 0, c.rotation});
    EXPECT_EQ(rig.robot.callsNamed("poseTrans").at(0).args, frame);
    EXPECT_EQ(rig.log.countContaining(" Output_speed:"), 1);
  }
}

// Nothing short, non-finite, off its length or faster than max_speed leaves
// the command.
TEST(JogCommandTest, SpeedIsBoundedAndTheHostsPosesScreened) {
  const double nan = std::nan("");
  const std::vector<double> level = {0.4, 0, 0.3, 0, 0, 0};
  const struct {
    const char* name;
    std::vector<double> tool;
    std::optional<std::vector<double>> pose_trans_reply;
    std::array<int, 6> stick;
    double pose_speed;
    std::vector<double> speed;  // empty: no command
    const char* logged;
  } cases[] = {
      {"railed axis",
       level,
       std::nullopt,
       {32767, 0, 0, 0, 0, 0},
       0.1,
       {0.25, 0, 0},
       "Rocker speed 3.2767 m/s is above max_speed 0.25 m/s: scaled down to 0.25 m/s"},
      {"huge pose speed keeps the direction",
       level,
       std::nullopt,
       {300, -400, 0, 0, 0, 0},
       1e9,
       {0.15, -0.2, 0},
       "Rocker speed 5e+08 m/s is above max_speed 0.25 m/s: scaled down to 0.25 m/s"},
      {"short tool pose",
       {0.4, 0, 0.3},
       std::nullopt,
       {500, 0, 0, 0, 0, 0},
       0.1,
       {},
       "Rocker start skipped: the host returned a pose of 3 values (tool pose)"},
      {"infinite tool angle",
       {0.4, 0, 0.3, 0, HUGE_VAL, 0},
       std::nullopt,
       {500, 0, 0, 0, 0, 0},
       0.1,
       {},
       "Rocker start skipped: the tool pose is not finite: 0.4,0,0.3,0,inf,0"},
      {"poseTrans gives NaN",
       level,
       std::vector<double>{nan, 0, 0, 0, 0, 0},
       {500, 0, 0, 0, 0, 0},
       0.1,
       {},
       "Rocker start skipped: the poseTrans is not finite: nan,0,0,0,0,0"},
      // A rotation keeps the stick vector's length.
      {"poseTrans in millimetres",
       level,
       std::vector<double>{500, 0, 0, 0, 0, 0},
       {500, 0, 0, 0, 0, 0},
       0.1,
       {},
       "Rocker start refused: poseTrans turned the stick vector of length 0.5 into one of length "
       "500"},
      {"poseTrans 1e6 everywhere",
       level,
       std::vector<double>(6, 1e6),
       {500, 0, 0, 0, 0, 0},
       0.1,
       {},
       "Rocker start refused: poseTrans turned the stick vector of length 0.5 into one of length "
       "1.73205e+06"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CommandRig rig;
    rig.robot.replyPose("poseTrans", c.pose_trans_reply);
    const auto speed = rig.speedFor(c.tool, c.stick, c.pose_speed);
    EXPECT_EQ(rig.log.countContaining(c.logged), 1) << c.logged;
    if (c.speed.empty()) {
      EXPECT_FALSE(speed);
      const bool tool_unusable = c.tool.size() != 6 || !std::isfinite(c.tool[4]);
      if (tool_unusable) {
        EXPECT_TRUE(rig.robot.callsNamed("poseTrans").empty()) << "nothing passed on";
      }
      continue;
    }
    ASSERT_TRUE(speed);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR((*speed)[i], c.speed[i], 1e-9) << "component " << i;
  }
}

// With six axes the rotation axes turn the tool about the joystick's frame,
// expressed in the base frame, at ori_velc scaled with the speed mode.
TEST(JogCommandTest, SixAxesTurnTheToolAboutTheJoysticksFrame) {
  const double pi = std::acos(-1.0);
  const std::vector<double> level = {0.4, 0, 0.3, 0, 0, 0};
  const std::vector<double> upside_down = {0.4, 0, 0.3, pi, 0, 0};
  const struct {
    const char* name;
    int axes[3];
    std::vector<double> tool;
    std::array<int, 6> stick;
    double pose_speed;
    std::vector<double> speed;
  } cases[] = {
      {"pure rz push", {1, 2, 3}, level, {0, 0, 0, 0, 0, 500}, 0.1, {0, 0, 0, 0, 0, 0.15}},
      {"tool turned about x",
       {1, 2, 3},
       upside_down,
       {0, 0, 0, 0, 0, 500},
       0.1,
       {0, 0, 0, 0, 0, -0.15}},
      {"mixed push, small deflections ignored",
       {1, 2, 3},
       level,
       {400, 150, 0, 0, 150, -500},
       0.1,
       {0.04, 0, 0, 0, 0, -0.15}},
      {"axes swapped and negated",
       {2, -1, 3},
       level,
       {0, 0, 0, 500, 0, 0},
       0.1,
       {0, 0, 0, 0, -0.15, 0}},
      {"slow mode turns slower in the same ratio",
       {1, 2, 3},
       level,
       {0, 0, 0, 0, 0, 500},
       0.01,
       {0, 0, 0, 0, 0, 0.015}},
      {"bounded by max_angular_speed",
       {1, 2, 3},
       level,
       {0, 0, 0, 0, 0, 32767},
       0.1,
       {0, 0, 0, 0, 0, 0.5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CommandRig rig(c.axes);
    RockerSettings six_axes;
    six_axes.jog_axes = 6;
    rig.command.configure(six_axes);
    rig.command.setOrientationSpeed(0.3, 0.1);
    const auto speed = rig.speedFor(c.tool, c.stick, c.pose_speed);
    ASSERT_TRUE(speed);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR((*speed)[i], c.speed[i], 1e-9) << "component " << i;
  }
  CommandRig three_axes;
  three_axes.command.setOrientationSpeed(0.3, 0.1);
  const auto speed = three_axes.speedFor(level, {400, 0, 0, 0, 0, 500}, 0.1);
  ASSERT_TRUE(speed);
  EXPECT_EQ((std::vector<double>(speed->begin() + 3, speed->end())), (std::vector<double>{0, 0, 0}))
      << "three axes never turn";
}

// A caller that configures the service directly, past the start options'
// screen, still cannot lift the reduced speed.
TEST(JogCommandTest, NoSettingLiftsTheReducedSpeed) {
  CommandRig rig;
  RockerSettings lifted;
  lifted.jog_axes = 6;
  lifted.max_speed = 1e3;
  lifted.max_angular_speed = 1e3;
  rig.command.configure(lifted);
  rig.command.setOrientationSpeed(1e9, 0.1);
  const auto speed = rig.speedFor({0.4, 0, 0.3, 0, 0, 0}, {500, 0, 0, 0, 0, 500}, 1e9);
  ASSERT_TRUE(speed);
  EXPECT_NEAR(std::hypot((*speed)[0], (*speed)[1], (*speed)[2]), RockerSettings::kReducedSpeed,
              1e-9);
  EXPECT_NEAR(std::hypot((*speed)[3], (*speed)[4], (*speed)[5]),
              RockerSettings::kReducedAngularSpeed, 1e-9);
}

}  // namespace
}  // namespace velk::zorv_comm
