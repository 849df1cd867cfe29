#include "rocker/rocker_service/jog_decision.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
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

// The decision fed one fresh read per step, the values shifted the way the
// service's data step shifts them; `cycles` more than 1 adds the cycles
// that see the same read again (ten at the default stick rate).
struct DecisionDriver {
  explicit DecisionDriver(std::size_t jog_axes = 3, int stick_rate = 10)
      : decision(log.callback(), clock.clock()) {
    RockerSettings settings;
    settings.jog_axes = static_cast<int>(jog_axes);
    settings.stick_rate = stick_rate;
    decision.configure(settings);
    for (const auto& entry : RockerSignalTable::entries()) current[entry.name] = 0;
    previous = reference = current;
    clock.advanceMs(1000);
  }

  JogVerdict step(const Axes& axes, bool fresh = true, bool centre_seen = true, int cycles = 1) {
    for (std::size_t i = 0; i < axes.size(); ++i) {
      current[RockerSignalTable::axes()[i]] = static_cast<int16_t>(axes[i]);
    }
    stamp += std::chrono::milliseconds(1);
    const bool new_read = reads.add(stamp, current);
    JogVerdict verdict = cycle(fresh, centre_seen, new_read);
    for (int i = 1; i < cycles; ++i) {
      const JogVerdict again = cycle(fresh, centre_seen, false);
      if (again.action != Action::kNothing) verdict = again;
    }
    return verdict;
  }

  JogVerdict cycle(bool fresh, bool centre_seen, bool new_read) {
    const JogVerdict verdict = decision.decide(
        JogFrame{current, previous, reference, fresh, centre_seen, reads, new_read});
    reference = previous = current;
    if (verdict.action == Action::kStart) decision.beginJog();
    if (verdict.action == Action::kStop) decision.finishJog();
    return verdict;
  }

  test::LogCapture log;
  test::FakeRockerClock clock;
  JogDecision decision;
  StickChecks::ValueMap current, previous, reference;
  StickReads reads;
  StickReads::Clock::time_point stamp{};
};

TEST(JogDecisionTest, StartsOnlyAfterAPushThatSettlesAboveTheDeflection) {
  // 10 a read at 50 Hz: every read within 30 of the last, 50 in 100 ms.
  std::vector<Axes> ramp;
  for (int value = 210; value <= 400; value += 10) ramp.push_back(x(value));
  for (int i = 0; i < 3; ++i) ramp.push_back(x(400));
  // 5 a read at 50 Hz, 25 in 100 ms: arms; steady once six reads are
  // beyond 200.
  std::vector<Axes> slow_push;
  for (int value = 5; value <= 230; value += 5) slow_push.push_back(x(value));
  const struct {
    const char* name;
    std::vector<Axes> frames;  // one read each
    int start_frame;           // -1: none
    bool fresh = true;
    bool centre_seen = true;
    std::size_t watched = 3;
    int cycles = 1;  // per read
    int stick_rate = 10;
  } cases[] = {
      {"push below deflection, then settle above", {x(150), x(380), x(400)}, 2},
      {"jump is not steady, the second read starts", {x(400), x(410)}, 1, true, true, 3, 10},
      {"a knock of one read never starts", {x(800), x(0), x(0)}, -1, true, true, 3, 10},
      {"six axes: a knock on rz never turns",
       {{0, 0, 0, 0, 0, 800}, {}, {}},
       -1,
       true,
       true,
       6,
       10},
      {"a ramp at 50 Hz starts once it has held 100 ms within 30", ramp,
       static_cast<int>(ramp.size()) - 2, true, true, 3, 2, 50},
      {"a slow push at 50 Hz arms over 100 ms", slow_push, static_cast<int>(slow_push.size()) - 1,
       true, true, 3, 2, 50},
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
    DecisionDriver d(c.watched, c.stick_rate);
    for (std::size_t i = 0; i < c.frames.size(); ++i) {
      const JogVerdict verdict = d.step(c.frames[i], c.fresh, c.centre_seen, c.cycles);
      const bool starts = static_cast<int>(i) == c.start_frame;
      EXPECT_EQ(verdict.action, starts ? Action::kStart : Action::kNothing) << "frame " << i;
      EXPECT_EQ(verdict.push_held_back, !c.centre_seen && i == 0) << "frame " << i;
    }
  }
}

TEST(JogDecisionTest, EverySignOfReleaseStopsTheJogOnceWithItsCause) {
  std::vector<Axes> easing;  // drops of 5 are no release, nor is 12 centred
  for (int value = 245; value >= 100; value -= 5) easing.push_back(x(value));
  std::vector<Axes> steering;  // off x onto y, 10 a read: no drop counts
  for (int value = 490; value >= 100; value -= 10)
    steering.push_back({value, 500 - value, 0, 0, 0, 0});
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
      {"steered off the axis it started on", x(500), steering, "", JogStopCause::kStartAxesCentred},
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
    if (!c.message.empty()) {
      EXPECT_EQ(d.log.count(kLogInfo, c.message), 1);
    }
    EXPECT_EQ(d.log.count(kLogInfo, "Rocker stop"), 1);
    EXPECT_FALSE(d.decision.moving());
    EXPECT_EQ(d.decision.reversalCount(), 0);
    EXPECT_EQ(d.step(c.frames.back()).action, Action::kNothing) << "stopped once";
  }
  DecisionDriver d;
  for (int value : {500, 500, 465}) d.step(x(value));
  EXPECT_EQ(d.decision.reversalCount(), 1);
  // An idle axis wobbling about its centre is no reversal, x as well.
  for (int y : {60, -60, 90, -90}) d.step({465, y, -y, 0, 0, 0});
  EXPECT_TRUE(d.decision.moving());
  for (std::size_t watched : {3u, 6u}) {
    SCOPED_TRACE(watched);
    DecisionDriver held(watched, 50);
    const Axes pushed = watched == 6 ? Axes{0, 0, 0, 0, 0, 500} : Axes{0, 400, 0, 0, 0, 0};
    for (int i = 0; i < 6; ++i) held.step(pushed);
    ASSERT_TRUE(held.decision.moving());
    for (int i = 0; i < 500; ++i) {  // 10 s of idle axes at rest, never exactly 0
      Axes noisy = pushed;
      for (std::size_t a = 0; a < noisy.size(); ++a) {
        if (noisy[a] == 0) noisy[a] = (i + static_cast<int>(a)) % 5 - 2;
      }
      held.step(noisy);
    }
    for (int value : {90, -90, 60}) held.step({value, 400, 0, 0, 0, 500});
    EXPECT_TRUE(held.decision.moving()) << "x flips within 100 of 0: no reversal";
  }
  EXPECT_EQ(d.log.count(kLogInfo,
                        "摇杆反方向开始变化停止计数:1    get_x 500 :465 get_y: 0 :0 "
                        "get_z: 0 :0"),
            1);
}

// The release tests compare reads about 100 ms apart: a faster stick ends a
// jog no later than the default one.
TEST(JogDecisionTest, AReleaseEndsAJogAsSoonAtAFasterStickRate) {
  for (int ease_ms : {0, 300, 850, 3000}) {
    SCOPED_TRACE(ease_ms);
    long stopped_after_ms[2] = {};
    for (int rate : {10, 50}) {
      DecisionDriver d(3, rate);
      const int period_ms = 1000 / rate;
      for (int i = 0; i < 6; ++i) d.step(x(500));
      ASSERT_TRUE(d.decision.moving());
      long ms = 0;
      while (d.decision.moving() && ms < 5000) {
        ms += period_ms;
        const int value = ms >= ease_ms ? 0 : 500 - 500 * ms / std::max(ease_ms, 1);
        d.step(x(value), true, true, period_ms / 10);
      }
      stopped_after_ms[rate == 50] = ms;
    }
    EXPECT_LE(stopped_after_ms[1], stopped_after_ms[0]) << "at 10 Hz: " << stopped_after_ms[0];
    EXPECT_LE(stopped_after_ms[0], std::max(ease_ms, 100));
  }
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
