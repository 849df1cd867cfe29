// Reading jogs out of a run: which command opens and closes each, and why
// it stopped, from the bundle's own words or the fault in force.
#include "rocker-sim/report/jog_analyzer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rocker-sim/report/stop_cause_finder.h"

namespace {

using velk::rocker_sim::FaultRecord;
using velk::rocker_sim::JogAnalyzer;
using velk::rocker_sim::LogEntry;
using velk::rocker_sim::PathSample;
using velk::rocker_sim::RobotCall;
using velk::rocker_sim::RobotEvent;
using velk::rocker_sim::RunRecord;
using velk::rocker_sim::StickSample;
using velk::rocker_sim::StopCause;
using velk::rocker_sim::StopCauseFinder;

RobotCall call(double t, const std::string& name, std::vector<double> args = {},
               double result = 0.0) {
  RobotCall c;
  c.t = t;
  c.call.name = name;
  c.call.args = std::move(args);
  c.call.result = {result};
  return c;
}

RobotCall speedLine(double t, double vx) {
  return call(t, "speedLine", {vx, 0, 0, 0, 0, 0, 1.0, 100.0});
}
RobotCall stopLine(double t) { return call(t, "stopLine", {4.0, 4.0}); }
LogEntry log(double t, const std::string& message) { return LogEntry{t, 3, "f.cpp", 1, message}; }
PathSample at(double t, double x, double speed) {
  return PathSample{t, {x, 0, 0.3, 0, 0, 0}, speed};
}

TEST(StopCauseFinder, KnowsTheBundlesWordsForEachStop) {
  EXPECT_EQ(StopCauseFinder::causeOf("摇杆反方向变化大于50 直接停止 get_x 500 :0"),
            StopCause::kFastRelease);
  EXPECT_EQ(StopCauseFinder::causeOf("停止计数:3 检测停止"), StopCause::kSlowRelease);
  EXPECT_EQ(StopCauseFinder::causeOf("停止计数:0 检测停止"), StopCause::kCentred);
  EXPECT_EQ(StopCauseFinder::causeOf("符号变反检测停止-300 : 300"), StopCause::kReversal);
  EXPECT_EQ(StopCauseFinder::causeOf("Get rocker modbus data error!"), StopCause::kReadError);
  EXPECT_EQ(StopCauseFinder::causeOf("close rocker"), StopCause::kJoggingOff);
  EXPECT_EQ(StopCauseFinder::causeOf("Rocker slow mode"), StopCause::kSpeedChange);
  // Counting a beginning release uses the same words but stops nothing.
  EXPECT_FALSE(StopCauseFinder::causeOf("摇杆反方向开始变化停止计数:3    get_x 480 :460"));
  EXPECT_FALSE(StopCauseFinder::causeOf("Rocker stop"));
}

TEST(JogAnalyzer, PairsCommandsAndTakesTheLastReasonLoggedBeforeEachStop) {
  RunRecord record;
  record.simulated_joystick = true;
  record.end = 10.0;
  record.sticks = {StickSample{0.9, {500, 0, 0, 0, 0, 0}}, StickSample{1.9, {}}};
  record.robot_calls = {call(0.5, "getToolPose"), speedLine(1.0, 0.05), stopLine(2.0),
                        speedLine(3.0, 0.05),     stopLine(4.0),        stopLine(4.5)};
  record.log = {log(1.99, "摇杆反方向变化大于50 直接停止"), log(2.0, "Rocker stop"),
                log(3.5, "close rocker"),  // too long before its stop to be its reason
                log(3.99, "停止计数:1 检测停止"), log(4.0, "Rocker stop")};
  record.path = {at(0.0, 0.4, 0),    at(1.5, 0.42, 0.05), at(2.0, 0.45, 0.05),
                 at(2.02, 0.451, 0), at(3.5, 0.47, 0.05), at(4.01, 0.5, 0)};
  const auto jogs = JogAnalyzer(record).jogs();
  ASSERT_EQ(jogs.size(), 2u);
  EXPECT_EQ(jogs[0].cause, StopCause::kFastRelease);
  EXPECT_EQ(*jogs[0].stop, 2.0);
  EXPECT_EQ((*jogs[0].stick)[0], 500);
  EXPECT_EQ(jogs[0].speed, (std::vector<double>{0.05, 0, 0, 0, 0, 0}));
  EXPECT_EQ(jogs[0].acceleration, 1.0);
  EXPECT_EQ(jogs[0].end_pose[0], 0.451);  // where the tool came to rest, not where it was stopped
  EXPECT_EQ(jogs[1].cause, StopCause::kCentred);
  EXPECT_EQ((*jogs[1].stick)[0], 0);
  EXPECT_EQ(jogs[1].start_pose[0], 0.451);
}

TEST(JogAnalyzer, AFaultExplainsASilentStopAndAHaltOrANewCommandEndsAJog) {
  RunRecord record;
  record.end = 10.0;
  velk::rocker_sim::FaultStart drop;
  record.faults = {FaultRecord{drop, 1.4, 3.0}};
  record.robot_events = {RobotEvent{5.5, "mode_type=7", true},
                         RobotEvent{6.5, "freedrive=off", false}};
  record.robot_calls = {speedLine(1.0, 0.05), stopLine(1.5), speedLine(4.0, 0.05),
                        speedLine(5.0, -0.05), speedLine(7.0, 0.05)};
  record.robot_calls[2].call.result = {-2};
  const auto jogs = JogAnalyzer(record).jogs();
  ASSERT_EQ(jogs.size(), 4u);
  EXPECT_EQ(jogs[0].cause, StopCause::kReadError);
  EXPECT_NE(jogs[0].fault.find("drop"), std::string::npos);
  EXPECT_FALSE(jogs[0].stick);  // an outside joystick: the stick is not known
  EXPECT_EQ(jogs[1].cause, StopCause::kReplaced);
  EXPECT_FALSE(jogs[1].accepted);
  EXPECT_EQ(jogs[2].cause, StopCause::kRobotHalted);
  EXPECT_EQ(*jogs[2].stop, 5.5);
  EXPECT_EQ(jogs[3].cause, StopCause::kStillMoving);
  EXPECT_FALSE(jogs[3].stop);

  // With jog_follow the later commands change the open jog's speed.
  record.start_options = {"jog_follow = true\n"};
  const auto followed = JogAnalyzer(record).jogs();
  ASSERT_EQ(followed.size(), 3u);
  ASSERT_EQ(followed[1].changes.size(), 1u);
  EXPECT_EQ(followed[1].changes[0].speed[0], -0.05);
  EXPECT_EQ(followed[1].changes[0].t, 5.0);
  EXPECT_EQ(followed[1].cause, StopCause::kRobotHalted);
}

}  // namespace
