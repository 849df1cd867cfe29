// The extension linked directly: start options, logging, the thread it
// runs, shutdown and the command interface.
#include <gtest/gtest.h>

#include <chrono>
#include <cxxopts.hpp>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <toml.hpp>
#include <utility>
#include <vector>

#include "bundle_activator/rocker_extension.h"
#include "common/log_level.h"
#include "host/common_interface/zorv_control_extension.h"
#include "host_rig/host_home.h"
#include "host_rig/log_sink.h"
#include "host_rig/rig_timing.h"
#include "host_rig/thread_probe.h"
#include "robot_sim/robot_codes.h"
#include "robot_sim/simulated_robot.h"

namespace {

using velk::common_interface::ZorvControlExtension;
using velk::host_rig::LogSink;
using velk::host_rig::ThreadProbe;
using velk::host_rig::timing::waitFor;
using velk::zorv_comm::makeRockerExtension;
using namespace std::chrono_literals;

const char* const kTaskThread = "ROCKER Server";

class ExtensionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Not in the running mode: the rocker leaves the joystick unpowered and
    // opens no connection, which keeps these tests to the extension itself.
    robot_.setRobotModeType(5);
    baseline_ = ThreadProbe::settledCount();
  }

  int deleteTaskCalls() const {
    int calls = 0;
    for (const auto& call : robot_.callsNamed("deleteTask")) {
      EXPECT_EQ(call.args, std::vector<double>{0.0});
      ++calls;
    }
    return calls;
  }

  // The motion task asks for the robot every cycle.
  std::size_t cycles() const { return robot_.callsNamed("getRobotNames").size(); }

  velk::host_rig::HostHome home_;
  velk::sim::SimulatedRobot robot_;
  LogSink log_;
  int baseline_ = 0;
};

TEST_F(ExtensionTest, EmptyOptionsStartTheRockerWithDefaults) {
  auto extension = makeRockerExtension();
  extension->start(robot_.api(), log_.callback(), "");

  const auto entries = log_.entries();
  ASSERT_GE(entries.size(), 4u);
  EXPECT_EQ(entries[0].message, "Start rocker. Options: \n");
  EXPECT_EQ(entries[1].message, "Rocker  used device_info:\n/dev/ttyUSB0,115200,N,8,1");
  EXPECT_EQ(entries[2].message,
            "X:1  Y:2  Z:3  pose_speed_fast:0.1  pose_speed_slow:0.01  ori_velc:0.005  acc:1 "
            "debug:0  rotation_angle:0");
  // The age bound on the stick values comes in a line of its own.
  EXPECT_EQ(entries[3].message, "Rocker input_timeout:0.3");
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(entries[i].level, velk::kLogInfo);
    EXPECT_EQ(entries[i].file, "extension1.cpp");
  }
  // The rocker service was configured from the same values.
  EXPECT_TRUE(log_.contains("Rocker teach pose velc:0.1 origin velc:0.005 acc:1 rotation_angle:0"));
  EXPECT_TRUE(log_.contains("Rocker X -> Coordinate X"));
  EXPECT_TRUE(log_.contains("Rocker Z -> Coordinate Z"));

  // The thread names itself once it runs.
  EXPECT_TRUE(waitFor([] { return ThreadProbe::countNamed(kTaskThread) == 1; }, 5000ms));
  EXPECT_TRUE(waitFor([&] { return cycles() >= 3; }, 5000ms));
}

TEST_F(ExtensionTest, SummaryShowsTheOptionsInUse) {
  auto extension = makeRockerExtension();
  extension->start(robot_.api(), log_.callback(),
                   "tool_x = -1\ntool_z = -3\npose_speed_fast = 0.123456789\n"
                   "pose_speed_slow = 0.02\nori_velc = 0.5\nacc = 2.0\ndebug = 2\n"
                   "rotation = 1.5\ninput_timeout = -1.0\n");
  EXPECT_TRUE(
      log_.contains("X:-1  Y:2  Z:-3  pose_speed_fast:0.123457  pose_speed_slow:0.02  "
                    "ori_velc:0.5  acc:2 debug:2  rotation_angle:1.5"));
  EXPECT_TRUE(log_.contains("Rocker X -> Coordinate -X"));
  EXPECT_TRUE(log_.contains("Rocker Z -> Coordinate -Z"));
  EXPECT_TRUE(
      log_.contains("Rocker input_timeout out of range, using the default 0.3 instead of: -1"));
  EXPECT_TRUE(log_.contains("Rocker input_timeout:0.3"));

  LogSink second;
  auto other = makeRockerExtension();
  other->start(robot_.api(), second.callback(), "debug = true\n");
  EXPECT_TRUE(
      second.contains("X:1  Y:2  Z:3  pose_speed_fast:0.1  pose_speed_slow:0.01  "
                      "ori_velc:0.005  acc:1 debug:0  rotation_angle:0"));
}

TEST_F(ExtensionTest, InvalidTomlRaisesAfterTheFirstMessageOnly) {
  auto extension = makeRockerExtension();
  EXPECT_THROW(extension->start(robot_.api(), log_.callback(), "cycle = = 1"), toml::syntax_error);
  EXPECT_EQ(log_.messages(), std::vector<std::string>{"Start rocker. Options: \ncycle = = 1"});
  EXPECT_EQ(ThreadProbe::countNamed(kTaskThread), 0);

  // The API handle was stored before the parse failed; destruction still
  // tells the host's runtime machine, and finds no thread to stop.
  extension.reset();
  EXPECT_EQ(deleteTaskCalls(), 1);
}

TEST_F(ExtensionTest, StopHaltsTheThreadAndDestructionRepeatsItThenReleasesAll) {
  auto extension = makeRockerExtension();
  extension->start(robot_.api(), log_.callback(), "cycle = 0.005");
  ASSERT_TRUE(waitFor([&] { return cycles() >= 3; }, 5000ms));

  extension->stop();
  EXPECT_EQ(deleteTaskCalls(), 1);
  // Joined; the kernel may list the ended thread for a moment longer.
  EXPECT_TRUE(waitFor([] { return ThreadProbe::countNamed(kTaskThread) == 0; }, 5000ms));
  const auto cyclesAtStop = cycles();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(cycles(), cyclesAtStop);
  // The rocker service and its poll thread stay until destruction.
  EXPECT_GT(ThreadProbe::count(), baseline_);

  extension.reset();
  EXPECT_EQ(deleteTaskCalls(), 2);
  EXPECT_TRUE(waitFor([&] { return ThreadProbe::count() == baseline_; }, 5000ms))
      << ThreadProbe::count() << " threads, " << baseline_ << " before";
}

TEST_F(ExtensionTest, ExtensionNeverStartedStopsAndGoesQuietly) {
  auto extension = makeRockerExtension();
  extension->stop();
  extension.reset();
  EXPECT_EQ(deleteTaskCalls(), 0);
  EXPECT_TRUE(log_.messages().empty());
}

TEST_F(ExtensionTest, SecondStartReplacesTheThreadAndTheService) {
  auto extension = makeRockerExtension();
  extension->start(robot_.api(), log_.callback(), "");
  extension->start(robot_.api(), log_.callback(), "");
  EXPECT_EQ(log_.count(-1, "RockerService startup."), 2);
  const auto cyclesBefore = cycles();
  EXPECT_TRUE(waitFor([&] { return cycles() >= cyclesBefore + 2; }, 5000ms));
  EXPECT_EQ(ThreadProbe::countNamed(kTaskThread), 1);
  extension.reset();
  EXPECT_TRUE(waitFor([&] { return ThreadProbe::count() == baseline_; }, 5000ms))
      << ThreadProbe::count() << " threads, " << baseline_ << " before";
}

TEST_F(ExtensionTest, CycleWithoutAUsablePeriodWarnsAndRunsAtTheDefault) {
  auto extension = makeRockerExtension();
  extension->start(robot_.api(), log_.callback(), "cycle = 0.0");
  bool warned = false;
  for (const auto& e : log_.entries()) {
    warned =
        warned || (e.level == velk::kLogWarning &&
                   e.message == "Rocker cycle out of range, using the default 0.01 instead of: 0");
  }
  EXPECT_TRUE(warned);
  EXPECT_TRUE(waitFor([&] { return cycles() >= 2; }, 5000ms));
}

TEST_F(ExtensionTest, EmptyLogCallbackWritesToStandardError) {
  testing::internal::CaptureStderr();
  {
    auto extension = makeRockerExtension();
    extension->start(robot_.api(), nullptr, "");
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("[Info] [extension1.cpp:"), std::string::npos) << err;
  EXPECT_NE(err.find("] Start rocker. Options: \n"), std::string::npos) << err;
  EXPECT_NE(err.find("RockerService startup."), std::string::npos) << err;
}

// The command interface: argv[0] names the action, the rest are options.
class CommandLineTest : public ::testing::Test {
 protected:
  int run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    return extension_->parseCmdLine(static_cast<int>(argv.size()), argv.data(), out_);
  }

  std::shared_ptr<ZorvControlExtension> extension_ = makeRockerExtension();
  std::ostringstream out_;
};

// Other actions are refused with 1, version and status accepted with 0;
// neither writes anything.
TEST_F(CommandLineTest, OtherActionsAreRefusedAndVersionAndStatusAcceptedSilently) {
  const std::pair<std::vector<std::string>, int> rows[] = {
      {{"action2", "--help"}, 1}, {{"action1 ", "--help"}, 1},        {{"", "--bogus"}, 1},
      {{"action1", "-v"}, 0},     {{"action1", "--status", "-v"}, 0}, {{"action1"}, 0}};
  for (const auto& [args, result] : rows) EXPECT_EQ(run(args), result) << args[0];
  EXPECT_EQ(extension_->parseCmdLine(0, nullptr, out_), 1);
  EXPECT_EQ(out_.str(), "");
}

TEST_F(CommandLineTest, HelpPrintsTheWholeOptionSet) {
  EXPECT_EQ(run({"action1", "--help"}), 0);
  EXPECT_EQ(out_.str(),
            "Rocker for zorv robot control system\n"
            "Usage:\n"
            "  Rocker [OPTION...]\n"
            "\n"
            "  -h, --help     Print usage\n"
            "  -v, --version  version output\n"
            "  -c, --status   running or stopped\n"
            "\n");
}

TEST_F(CommandLineTest, UndeclaredOptionRaisesTheParserError) {
  EXPECT_THROW(run({"action1", "--bogus"}), cxxopts::exceptions::no_such_option);
  EXPECT_THROW(run({"action1", "-x"}), cxxopts::exceptions::exception);
  EXPECT_EQ(out_.str(), "");
}

}  // namespace
