#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "common/log_level.h"
#include "rocker_service/service_rig.h"

namespace velk::zorv_comm {
namespace {

using Axes = RockerServiceTestPeer::Axes;

Axes x(int value) { return {value, 0, 0, 0, 0, 0}; }

// A service with jogging switched on, one second after it was built.
std::unique_ptr<test::ServiceRig> jogReadyRig() {
  auto rig = std::make_unique<test::ServiceRig>();
  rig->peer.setRockerOn(true);
  rig->peer.pushStick(x(0));  // seen centred since jogging was switched on
  rig->clock.advanceMs(1000);
  return rig;
}

void step(test::ServiceRig& rig, const Axes& axes) {
  rig.peer.pushStick(axes);
  rig.service.motion();
}

TEST(MotionDecisionTest, StartsOnlyAfterAPushThatSettlesAboveTheDeflection) {
  const struct {
    const char* name;
    std::vector<Axes> frames;
    std::vector<std::size_t> starts;  // speed commands sent after each frame
  } cases[] = {
      {"push below deflection, then settle above", {x(150), x(380), x(400)}, {0, 0, 1}},
      {"jump is not steady, settling starts", {x(400), x(410)}, {0, 1}},
      {"armed survives the centre", {x(150), x(0), x(0), x(400), x(400)}, {0, 0, 0, 0, 1}},
      {"negative y counts by magnitude", {{0, -300, 0, 0, 0, 0}, {0, -310, 0, 0, 0, 0}}, {0, 1}},
      {"a wobbling rotation axis holds the start back",
       {x(300), {300, 0, 0, 100, 0, 0}, {300, 0, 0, 100, 0, 0}},
       {0, 0, 1}},
      {"rotation axes alone never arm", {{0, 0, 0, 500, 0, 0}, {0, 0, 0, 500, 0, 0}}, {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto rig = jogReadyRig();
    for (std::size_t i = 0; i < c.frames.size(); ++i) {
      step(*rig, c.frames[i]);
      EXPECT_EQ(rig->count("speedLine"), c.starts[i]) << "frame " << i;
    }
    EXPECT_EQ(rig->count("stopLine"), 0u);
  }
}

TEST(MotionDecisionTest, EverySignOfReleaseStopsTheJogOnce) {
  std::vector<Axes> centring;  // drops of exactly 15 are no release
  for (int value = 199; value >= 4; value -= 15) centring.push_back(x(value));
  const struct {
    const char* name;
    Axes start;
    std::vector<Axes> frames;
    std::string message;
  } cases[] = {
      {"fast drop",
       x(500),
       {x(430)},
       "摇杆反方向变化大于50 直接停止 get_x 500 :430 get_y: 0 :0 get_z: 0 :0"},
      {"fast drop on z",
       {0, 0, -400, 0, 0, 0},
       {{0, 0, -300, 0, 0, 0}},
       "摇杆反方向变化大于50 直接停止 get_x 0 :0 get_y: 0 :0 get_z: 400 :300"},
      {"three slow drops", x(500), {x(480), x(460), x(440)}, "停止计数:3 检测停止"},
      {"back in the centre", x(214), centring, "停止计数:0 检测停止"},
      {"sign reversal on x", x(300), {x(-300)}, "符号变反检测停止-300 : 300"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto rig = jogReadyRig();
    step(*rig, c.start);
    step(*rig, c.start);
    ASSERT_TRUE(rig->peer.moving());
    for (const auto& frame : c.frames) {
      EXPECT_EQ(rig->count("stopLine"), 0u);
      step(*rig, frame);
    }
    EXPECT_EQ(rig->count("stopLine"), 1u);
    EXPECT_EQ(rig->calls("stopLine").at(0).args, (std::vector<double>{4.0, 4.0}));
    EXPECT_EQ(rig->log.count(kLogInfo, c.message), 1);
    EXPECT_EQ(rig->log.count(kLogInfo, "Rocker stop"), 1);
    EXPECT_FALSE(rig->peer.moving());
    EXPECT_EQ(rig->peer.reversalCount(), 0);
    EXPECT_EQ(rig->count("speedLine"), 1u) << "no command between start and stop";
  }
  auto rig = jogReadyRig();
  for (int value : {500, 500, 465}) step(*rig, x(value));
  EXPECT_EQ(rig->log.count(kLogInfo,
                           "摇杆反方向开始变化停止计数:1    get_x 500 :465 get_y: 0 :0 "
                           "get_z: 0 :0"),
            1);
}

TEST(MotionDecisionTest, StartsCloseAfterAStopWaitFirst) {
  auto rig = jogReadyRig();
  step(*rig, x(500));
  step(*rig, x(500));
  EXPECT_EQ(rig->log.count(kLogInfo, "time passed is: 1000ms"), 1) << "counted from construction";
  for (long gap : {150L, 200L, 199L, 5000L}) {
    SCOPED_TRACE(gap);
    const bool waits = gap < 200;
    step(*rig, x(0));
    rig->clock.advanceMs(gap);
    const std::size_t sleeps = rig->clock.sleeps().size();
    step(*rig, x(400));
    step(*rig, x(400));
    ASSERT_TRUE(rig->peer.moving());
    EXPECT_EQ(rig->log.count(kLogInfo, "time passed is: " + std::to_string(gap) + "ms"), 1);
    EXPECT_EQ(rig->clock.sleeps().size(), sleeps + (waits ? 1 : 0));
    EXPECT_EQ(rig->clock.sleeps().back(), 100000u);
    const std::string warning = "距离上一组运动时间间隔:" + std::to_string(gap) +
                                "ms,为了避免运动切换过快机械臂异响,强制增加100ms时长再开启运动.";
    EXPECT_EQ(rig->log.count(kLogWarning, warning), waits ? 1 : 0);
  }
}

TEST(MotionDecisionTest, SpeedFollowsTheStickThroughAxesSignsAndTheToolFrame) {
  const double pi = std::acos(-1.0);
  const std::vector<double> level = {0.4, 0, 0.3, 0, 0, 0};
  const struct {
    const char* name;
    int axes[3];
    double rotation;
    std::vector<double> tool;
    Axes stick;
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
    auto rig = jogReadyRig();
    rig->service.setAxis(c.axes[0], c.axes[1], c.axes[2]);
    rig->service.setProperty(0.1, 0.01, 0.005, 1.5, c.rotation);
    rig->robot.setToolPose(c.tool);
    step(*rig, c.stick);
    step(*rig, c.stick);
    ASSERT_EQ(rig->count("speedLine"), 1u);
    const std::vector<double> args = rig->calls("speedLine")[0].args;
    ASSERT_EQ(args.size(), 8u);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(args[i], c.speed[i], 1e-9) << "component " << i;
    EXPECT_EQ((std::vector<double>(args.begin() + 3, args.end())),
              (std::vector<double>{0, 0, 0, 1.5, 100.0}));
    std::vector<double> frame = c.tool;
    frame.insert(frame.end(), {0, 0, 0, 0, 0, c.rotation});
    EXPECT_EQ(rig->calls("poseTrans").at(0).args, frame);
  }
}

TEST(MotionDecisionTest, NothingHappensWhileAGateIsClosed) {
  auto rig = jogReadyRig();
  const auto attempt = [&rig] {
    for (int value : {0, 400, 400}) step(*rig, x(value));
  };
  rig->peer.setRockerOn(false);
  attempt();
  rig->peer.setRockerOn(true);
  rig->robot.setFreedriveEnabled(true);
  attempt();
  rig->robot.setFreedriveEnabled(false);
  rig->robot.setRuntimeStatus(sim::kRuntimePaused);
  attempt();
  rig->robot.setRuntimeStatus(sim::kRuntimeIdle);
  rig->robot.setRobotNames({});
  attempt();
  EXPECT_TRUE(rig->robot.commands().empty());
  EXPECT_FALSE(rig->peer.armed());
  rig->robot.setRobotNames({"rob1"});
  attempt();
  EXPECT_EQ(rig->count("speedLine"), 1u);
}

}  // namespace
}  // namespace velk::zorv_comm
