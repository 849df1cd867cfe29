// rocker-sim run end to end: the real bundle loaded through the framework,
// a real Modbus slave as the joystick over loopback TCP or a pseudo-terminal
// pair, the simulated robot; each test reads the JSON report of one short
// scenario.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/sim_process.h"
#include "tools/sim_workspace.h"

namespace {

using nlohmann::json;
using rocker_sim_test::SimProcess;
using rocker_sim_test::SimWorkspace;

// Timing of the road from stick to robot. The poll thread reads the stick
// registers once per group period; the extension decides once per cycle. A
// push starts its jog in the cycle after the first read that sees it (the
// decision wants two steady cycles), a release stops it in the first cycle
// after the read that sees it, so each end of a jog lags the stick by up to
// a group period and two cycles. Doubled for a slow shared machine under
// sanitizers, that bounds how much a jog may differ from the hold.
constexpr double kGroupPeriod = 0.1;  // s
constexpr double kCycle = 0.01;       // s
constexpr double kLagPerEnd = kGroupPeriod + 2 * kCycle;
constexpr double kSlowMachine = 2.0;
constexpr double kJogLengthTolerance = kLagPerEnd * kSlowMachine;

// Default start options: fast and slow pose speed, acceleration.
constexpr double kFast = 0.1;
constexpr double kSlow = 0.01;
constexpr double kAcceleration = 1.0;      // m/s^2, the speed command's ramp
constexpr double kStopDeceleration = 4.0;  // m/s^2, stopLine(4.0, 4.0)
constexpr int kPush = 500;
constexpr double kPushSpeed = kFast * kPush / 1000.0;  // m/s along the push

constexpr double kStopWithin = 0.5;  // s from a lost joystick to the stop command

// One [[step]] of a scenario: at `at` seconds, `actions` (TOML lines).
std::string step(const std::string& at, const std::string& actions) {
  return "[[step]]\nat = " + at + "\n" + actions + "\n";
}
const std::string kPushX = "stick = { x = 500 }";
const std::string kCentre = "stick = \"centre\"";
const std::string kUntilMoving = "\nwait = \"moving\"\ntimeout = 5.0";
const std::string kDropForASecond = "fault = \"drop\"\nduration = 1.0";

// Brings the extension to the point where a push jogs: joystick answering,
// jogging switched on with the power button.
const std::string kPrelude =
    step("0.0", "wait = \"ready\"\ntimeout = 30.0") +
    step("0.1", "press = \"power\"\nwait = \"jogging_on\"\ntimeout = 10.0");

struct SimRun {
  SimProcess::Result process;
  json report;
};

// Runs rocker-sim on the scenario file at `scenario_file` and reads its report.
SimRun runSimFile(const SimWorkspace& space, const std::string& scenario_file,
                  std::vector<std::string> extra = {}) {
  std::vector<std::string> args{
      ROCKER_SIM_EXECUTABLE, "--scenario", scenario_file, "--report", space.file("report.json"),
      "--log-level",         "2"};
  args.insert(args.end(), extra.begin(), extra.end());
  SimRun run;
  run.process = SimProcess::run(args, space.path());
  if (space.exists("report.json"))
    run.report = json::parse(std::ifstream(space.file("report.json")));
  return run;
}

SimRun runSim(const SimWorkspace& space, const std::string& scenario,
              std::vector<std::string> extra = {}) {
  return runSimFile(space, space.write("scenario.toml", kPrelude + scenario), std::move(extra));
}

// When the step whose description starts with `text` was applied.
double stepTime(const json& report, const std::string& text) {
  for (const auto& step : report["events"]["steps"]) {
    if (step["description"].get<std::string>().rfind(text, 0) == 0) return step["t"];
  }
  ADD_FAILURE() << "no step " << text;
  return 0.0;
}

// How long the first push along x was held: from the stick's push to its centring.
double firstHold(const json& report) {
  return stepTime(report, "stick centre") - stepTime(report, "stick x=500");
}

// The change of the pose over a jog from element `first` on: the position
// from 0, the orientation from 3.
std::vector<double> poseChange(const json& jog, std::size_t first) {
  const auto a = jog["start_pose"].get<std::vector<double>>();
  const auto b = jog["end_pose"].get<std::vector<double>>();
  return {b.at(first) - a.at(first), b.at(first + 1) - a.at(first + 1),
          b.at(first + 2) - a.at(first + 2)};
}

std::vector<double> moved(const json& jog) { return poseChange(jog, 0); }

// Distance a speed command at `v` covers when stopped after `length` s:
// the ramp up loses v^2/2a, the stop ramp adds v^2/2d.
double travel(double v, double length) {
  return v * length - v * v / (2 * kAcceleration) + v * v / (2 * kStopDeceleration);
}

// The tool must have travelled what its own jog commanded (the robot's
// motion), and the jog must have lasted the hold within the timing bound
// (the bundle's reaction to push and release).
void expectJogAlong(const json& jog, int axis, double speed, double hold) {
  const auto d = moved(jog);
  const double length = jog["stop"].get<double>() - jog["start"].get<double>();
  EXPECT_NEAR(d[static_cast<std::size_t>(axis)], travel(speed, length), 0.001);
  EXPECT_NEAR(length, hold, kJogLengthTolerance);
  for (int other = 0; other < 3; ++other) {
    if (other != axis) {
      EXPECT_NEAR(d[static_cast<std::size_t>(other)], 0.0, 1e-6) << other;
    }
  }
}

void expectSpeed(const json& jog, const std::vector<double>& xyz) {
  const auto speed = jog["speed"].get<std::vector<double>>();
  ASSERT_EQ(speed.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(speed[i], i < 3 ? xyz[i] : 0.0, 1e-12) << i;
}

void expectCompleted(const SimRun& run) {
  ASSERT_FALSE(run.process.timed_out);
  ASSERT_EQ(run.process.status, 0) << run.process.err;
  ASSERT_TRUE(run.report.is_object());
}

// Stop command time, and when the tool was found at rest after it.
double restTimeAfter(const json& report, double t) {
  for (const auto& sample : report["path"]) {
    if (sample["t"].get<double>() >= t && sample["speed"].get<double>() == 0.0) return sample["t"];
  }
  return 1e9;
}

void expectDropStopsTheJog(const json& report, const json& jog) {
  ASSERT_EQ(report["faults"].size(), 1u);
  const double dropped = report["faults"][0]["start"];
  ASSERT_FALSE(jog["stop"].is_null());
  EXPECT_GT(jog["stop"].get<double>(), dropped);
  EXPECT_LE(jog["stop"].get<double>() - dropped, kStopWithin);
  EXPECT_LE(restTimeAfter(report, jog["stop"]) - dropped, kStopWithin + 2 * kCycle);
  EXPECT_EQ(jog["stop_cause"], "read_error");
  EXPECT_NE(jog["fault"].get<std::string>().find("drop"), std::string::npos);
}

// The first push almost a second after jogging is on, once the stick has
// been read centred since, also on a slow (sanitized, loaded) machine.
const std::string kPushThenSlowPush = step("1.0", kPushX) + step("2.0", kCentre) +
                                      step("2.5", "press = \"speed\"") + step("3.1", kPushX) +
                                      step("3.9", kCentre);

TEST(RockerSimOverTcp, PushAlongXMovesTheToolAlongBaseXAndSlowModeScalesTheSpeed) {
  SimWorkspace space;
  const SimRun run = runSim(space, kPushThenSlowPush);
  expectCompleted(run);
  const json& jogs = run.report["jogs"];
  ASSERT_EQ(jogs.size(), 2u) << run.process.out;

  expectSpeed(jogs[0], {kPushSpeed, 0, 0});
  EXPECT_EQ(jogs[0]["stick"][0], kPush);
  EXPECT_EQ(jogs[0]["stop_cause"], "fast_release");
  expectJogAlong(jogs[0], 0, kPushSpeed, firstHold(run.report));

  EXPECT_NEAR(jogs[1]["speed"][0].get<double>(), kPushSpeed * kSlow / kFast, 1e-12);
  bool slow_light = false;
  for (const auto& sample : run.report["lights"]) slow_light |= sample["speed_light"].get<bool>();
  EXPECT_TRUE(slow_light);
  // The per-cycle queries are counted, the commands kept in full.
  EXPECT_GT(run.report["robot_queries"]["getRobotNames"].get<int>(), 100);
  for (const auto& call : run.report["robot_calls"]) EXPECT_EQ(call["kind"], "command");
  EXPECT_EQ(run.report["robot_calls_dropped"], 0);
}

TEST(RockerSimOverTcp, RotationOptionTurnsAPushAlongXIntoBaseY) {
  SimWorkspace space;
  const std::string options = space.write("options.toml", "rotation = 1.5707963267948966\n");
  const SimRun run =
      runSim(space, step("1.0", kPushX) + step("1.8", kCentre), {"--options", options});
  expectCompleted(run);
  const json& jogs = run.report["jogs"];
  ASSERT_EQ(jogs.size(), 1u) << run.process.out;
  expectSpeed(jogs[0], {0, kPushSpeed, 0});
  expectJogAlong(jogs[0], 1, kPushSpeed, firstHold(run.report));
  EXPECT_NE(run.report["run"]["start_options"][0].get<std::string>().find("rotation = 1.57"),
            std::string::npos);
}

// The six-axis scenario plays as scripted: the push only moves, the twist
// only turns, and the tilt reversed in one read ends its jog.
TEST(RockerSimOverTcp, SixAxisScenarioTurnsTheToolAsScripted) {
  SimWorkspace space;
  const SimRun run = runSimFile(space, ROCKER_SIM_SIX_AXIS);
  expectCompleted(run);
  const json& jogs = run.report["jogs"];
  ASSERT_EQ(jogs.size(), 4u) << run.process.out;
  const auto turn = [&](std::size_t jog) { return poseChange(jogs[jog], 3); };
  EXPECT_NEAR(turn(0)[2], 0.0, 1e-9) << "a push does not turn the tool";
  EXPECT_GT(moved(jogs[0])[0], 0.03);
  EXPECT_GT(turn(1)[2], 0.1) << "the twist about z turned it";
  EXPECT_NEAR(moved(jogs[1])[0], 0.0, 1e-9) << "and did not move it";
  EXPECT_LT(turn(2)[2], -0.05) << "push and twist in one command";
  EXPECT_GT(moved(jogs[2])[0], 0.03);
  EXPECT_GT(turn(3)[0], 0.05) << "the tilt turned it about x until reversed";
}

// The follow scenario through the loaded bundle: one jog whose speed rises
// with the push and falls as it eases, each command within max_speed, and
// the release stops it.
TEST(RockerSimOverTcp, FollowScenarioChangesTheSpeedWithinOneJog) {
  SimWorkspace space;
  const SimRun run = runSimFile(space, ROCKER_SIM_FOLLOW);
  expectCompleted(run);
  const json& jogs = run.report["jogs"];
  ASSERT_EQ(jogs.size(), 1u) << run.process.out;
  std::vector<double> speeds = {jogs[0]["speed"][0].get<double>()};
  for (const auto& change : jogs[0]["speed_changes"]) speeds.push_back(change["speed"][0]);
  ASSERT_GT(speeds.size(), 4u) << run.process.out;
  const auto fastest = std::max_element(speeds.begin(), speeds.end());
  EXPECT_NEAR(*fastest, 0.09, 0.006) << "grew with the push";
  EXPECT_LT(speeds.back(), 0.04) << "and eased, without a stop";
  EXPECT_TRUE(std::is_sorted(speeds.begin(), fastest + 1));
  for (double speed : speeds) EXPECT_LE(speed, 0.25);
  EXPECT_EQ(jogs[0]["stop_cause"], "centred");
  EXPECT_NEAR(jogs[0]["stop"].get<double>(), stepTime(run.report, "stick centre"),
              kJogLengthTolerance);
}

// The push a second after jogging is on, once the stick has been read
// centred since.
const std::string kDropDuringJog =
    step("1.0", kPushX + kUntilMoving) + step("1.4", kDropForASecond) + step("1.7", kCentre);

TEST(RockerSimOverTcp, DroppedConnectionDuringAJogStopsTheRobotWithinHalfASecond) {
  SimWorkspace space;
  const SimRun run = runSim(space, kDropDuringJog);
  expectCompleted(run);
  ASSERT_EQ(run.report["jogs"].size(), 1u) << run.process.out;
  expectDropStopsTheJog(run.report, run.report["jogs"][0]);
}

TEST(RockerSimOverRtu, PushAlongXMovesTheToolAndAnUnpluggedLineStopsTheNextJog) {
  SimWorkspace space;
  // The first push a second after jogging is on: the stick must have been
  // read centred since, which a slow (sanitized, loaded) machine may take a
  // while to do over RTU.
  const SimRun run =
      runSim(space,
             step("1.0", kPushX) + step("1.8", kCentre) + step("2.3", kPushX + kUntilMoving) +
                 step("2.7", kDropForASecond) + step("3.0", kCentre),
             {"--joystick", "rtu"});
  expectCompleted(run);
  EXPECT_NE(run.report["run"]["device_info"].get<std::string>().find(",115200,N,8,1"),
            std::string::npos);
  const json& jogs = run.report["jogs"];
  ASSERT_EQ(jogs.size(), 2u) << run.process.out;
  expectSpeed(jogs[0], {kPushSpeed, 0, 0});
  expectJogAlong(jogs[0], 0, kPushSpeed, firstHold(run.report));
  expectDropStopsTheJog(run.report, jogs[1]);
}

}  // namespace
