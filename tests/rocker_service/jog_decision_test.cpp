#include "rocker/rocker_service/jog_decision.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/log_level.h"
#include "rocker/rocker_service/rocker_signal_table.h"
#include "rocker_service/fake_rocker_clock.h"
#include "support/log_capture.h"

namespace velk::zorv_comm {
namespace {

using Axes = std::array<int, 6>;  // x, y, z, rx, ry, rz
using Action = JogVerdict::Action;

Axes x(int value) { return {value, 0, 0, 0, 0, 0}; }

// The decision fed one fresh frame per cycle, the values shifted the way
// the service's data step shifts them.
struct DecisionDriver {
  explicit DecisionDriver(std::size_t jog_axes = 3) : decision(log.callback(), clock.clock()) {
    RockerSettings settings;
    settings.jog_axes = static_cast<int>(jog_axes);
    decision.configure(settings);
    for (const auto& entry : RockerSignalTable::entries()) current[entry.name] = 0;
    previous = reference = current;
    clock.advanceMs(1000);
  }

  JogVerdict step(const Axes& axes, bool fresh = true, bool centre_seen = true) {
    reference = current;
    previous = current;
    for (std::size_t i = 0; i < axes.size(); ++i) {
      current[RockerSignalTable::axes()[i]] = static_cast<int16_t>(axes[i]);
    }
    const JogVerdict verdict =
        decision.decide(JogFrame{current, previous, reference, fresh, centre_seen});
    if (verdict.action == Action::kStart) decision.beginJog();
    if (verdict.action == Action::kStop) decision.finishJog();
    return verdict;
  }

  test::LogCapture log;
  test::FakeRockerClock clock;
  JogDecision decision;
  StickChecks::ValueMap current, previous, reference;
};

TEST(JogDecisionTest, StartsOnlyAfterAPushThatSettlesAboveTheDeflection) {
  const struct {
    const char* name;
    std::vector<Axes> frames;
    int start_frame;  // -1: none
    bool fresh = true;
    bool centre_seen = true;
    std::size_t watched = 3;
  } cases[] = {
      {"push below deflection, then settle above", {x(150), x(380), x(400)}, 2},
      {"jump is not steady, settling starts", {x(400), x(410)}, 1},
      {"armed survives the centre", {x(150), x(0), x(0), x(400), x(400)}, 4},
      {"negative y counts by magnitude", {{0, -300, 0, 0, 0, 0}, {0, -310, 0, 0, 0, 0}}, 1},
      {"a wobbling rotation axis holds the start back",
       {x(300), {300, 0, 0, 100, 0, 0}, {300, 0, 0, 100, 0, 0}},
       2},
      {"rotation axes alone never arm", {{0, 0, 0, 500, 0, 0}, {0, 0, 0, 500, 0, 0}}, -1},
      {"values not delivered never arm", {x(300), x(300), x(310)}, -1, false},
      {"not centred since required", {x(300), x(300), x(310)}, -1, true, false},
      {"six axes: a rotation axis alone arms and starts",
       {{0, 0, 0, 0, 0, -500}, {0, 0, 0, 0, 0, -500}},
       1,
       true,
       true,
       6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DecisionDriver d(c.watched);
    for (std::size_t i = 0; i < c.frames.size(); ++i) {
      const JogVerdict verdict = d.step(c.frames[i], c.fresh, c.centre_seen);
      const bool starts = static_cast<int>(i) == c.start_frame;
      EXPECT_EQ(verdict.action, starts ? Action::kStart : Action::kNothing) << "frame " << i;
      EXPECT_EQ(verdict.push_held_back, !c.centre_seen && i == 0) << "frame " << i;
    }
  }
}

TEST(JogDecisionTest, EverySignOfReleaseStopsTheJogOnceWithItsCause) {
  std::vector<Axes> easing;  // drops of 5 are no release, nor is 12 centred
  for (int value = 245; value >= 100; value -= 5) easing.push_back(x(value));
  const struct {
    const char* name;
    Axes start;
    std::vector<Axes> frames;
    std::string message;
    JogStopCause cause;
    std::size_t watched = 3;
  } cases[] = {
      {"fast drop",
       x(500),
       {x(430)},
       "摇杆反方向变化大于50 直接停止 get_x 500 :430 get_y: 0 :0 get_z: 0 :0",
       JogStopCause::kFastDrop},
      {"fast drop on z",
       {0, 0, -400, 0, 0, 0},
       {{0, 0, -300, 0, 0, 0}},
       "摇杆反方向变化大于50 直接停止 get_x 0 :0 get_y: 0 :0 get_z: 400 :300",
       JogStopCause::kFastDrop},
      {"three slow drops",
       x(500),
       {x(480), x(460), x(440)},
       "停止计数:3 检测停止",
       JogStopCause::kSlowRelease},
      {"eased back to rest just off the centre", x(250), easing,
       "摇杆回到中心附近检测停止 get_x 100 get_y: 0 get_z: 0", JogStopCause::kNearCentre},
      {"sign reversal on y beyond 100",
       {0, 400, 0, 0, 0, 0},
       {{0, -400, 0, 0, 0, 0}},
       "符号变反检测停止 get_y -400 : 400",
       JogStopCause::kSignReversed},
      {"six axes: fast drop on rz",
       {0, 0, 0, 0, 0, 500},
       {{0, 0, 0, 0, 0, 420}},
       "摇杆反方向变化大于50 直接停止 get_x 0 :0 get_y: 0 :0 get_z: 0 :0",
       JogStopCause::kFastDrop,
       6},
      {"six axes: sign reversal on rx",
       {0, 0, 0, 400, 0, 0},
       {{0, 0, 0, -400, 0, 0}},
       "符号变反检测停止 get_rx -400 : 400",
       JogStopCause::kSignReversed,
       6},
      {"sign reversal on x",
       x(300),
       {x(-300)},
       "符号变反检测停止-300 : 300",
       JogStopCause::kSignReversed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DecisionDriver d(c.watched);
    d.step(c.start);
    ASSERT_EQ(d.step(c.start).action, Action::kStart);
    JogVerdict verdict;
    for (const auto& frame : c.frames) {
      ASSERT_TRUE(d.decision.moving());
      verdict = d.step(frame);
    }
    EXPECT_EQ(verdict.action, Action::kStop);
    EXPECT_EQ(verdict.cause, c.cause);
    EXPECT_EQ(d.log.count(kLogInfo, c.message), 1);
    EXPECT_EQ(d.log.count(kLogInfo, "Rocker stop"), 1);
    EXPECT_FALSE(d.decision.moving());
    EXPECT_EQ(d.decision.reversalCount(), 0);
    EXPECT_EQ(d.step(c.frames.back()).action, Action::kNothing) << "stopped once";
  }
  DecisionDriver d;
  for (int value : {500, 500, 465}) d.step(x(value));
  EXPECT_EQ(d.decision.reversalCount(), 1);
  // An idle axis wobbling about its centre is no reversal.
  for (int y : {60, -60, 90, -90}) d.step({465, y, -y, 0, 0, 0});
  EXPECT_TRUE(d.decision.moving());
  EXPECT_EQ(d.log.count(kLogInfo,
                        "摇杆反方向开始变化停止计数:1    get_x 500 :465 get_y: 0 :0 "
                        "get_z: 0 :0"),
            1);
}

TEST(JogDecisionTest, EndingFromOutsideStopsOnceAndNeedsAFreshPush) {
  DecisionDriver d;
  d.step(x(400));
  d.step(x(400));
  ASSERT_TRUE(d.decision.moving());
  EXPECT_TRUE(d.decision.endJog());
  EXPECT_FALSE(d.decision.endJog()) << "a second end finds no jog";
  EXPECT_FALSE(d.decision.moving());
  EXPECT_EQ(d.step(x(400)).action, Action::kNothing) << "the request's edge was consumed";
  EXPECT_EQ(d.step(x(420)).action, Action::kStart) << "a fresh push starts again";
}

TEST(JogDecisionTest, StartsCloseAfterAStopWaitFirst) {
  DecisionDriver d;
  d.step(x(500));
  d.step(x(500));
  EXPECT_EQ(d.log.count(kLogInfo, "time passed is: 1000ms"), 1) << "counted from construction";
  for (long gap : {150L, 200L, 199L, 5000L}) {
    SCOPED_TRACE(gap);
    const bool waits = gap < 200;
    d.step(x(0));
    d.clock.advanceMs(gap);
    const std::size_t sleeps = d.clock.sleeps().size();
    d.step(x(400));
    d.step(x(400));
    ASSERT_TRUE(d.decision.moving());
    EXPECT_EQ(d.log.count(kLogInfo, "time passed is: " + std::to_string(gap) + "ms"), 1);
    EXPECT_EQ(d.clock.sleeps().size(), sleeps + (waits ? 1 : 0));
    EXPECT_EQ(d.clock.sleeps().back(), 100000u);
    const std::string warning = "距离上一组运动时间间隔:" + std::to_string(gap) +
                                "ms,为了避免运动切换过快机械臂异响,强制增加100ms时长再开启运动.";
    EXPECT_EQ(d.log.count(kLogWarning, warning), waits ? 1 : 0);
  }
}

}  // namespace
}  // namespace velk::zorv_comm
