// What rocker-sim does with its arguments and input files: bad input is
// refused before anything runs, with the file, the line and what is wrong,
// and nothing is written; an outside joystick is reached through
// --device-info.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "joystick_sim/joystick_map.h"
#include "joystick_sim/modbus_slave.h"
#include "joystick_sim/simulated_joystick.h"
#include "tools/sim_process.h"
#include "tools/sim_workspace.h"

namespace {

using rocker_sim_test::SimProcess;
using rocker_sim_test::SimWorkspace;

constexpr int kBadInput = 2;

class RockerSimArguments : public ::testing::Test {
 protected:
  SimProcess::Result run(std::vector<std::string> args) {
    args.insert(args.begin(), ROCKER_SIM_EXECUTABLE);
    return SimProcess::run(args, space_.path(), std::chrono::seconds(30));
  }
  void expectRefused(const SimProcess::Result& result, const std::vector<std::string>& words) {
    EXPECT_EQ(result.status, kBadInput) << result.err;
    for (const auto& word : words)
      EXPECT_NE(result.err.find(word), std::string::npos) << result.err;
    EXPECT_FALSE(space_.exists("report.json"));
  }

  SimWorkspace space_;
};

TEST_F(RockerSimArguments, RefusesUnknownOptionsStrayArgumentsAndClashingChoices) {
  expectRefused(run({"--frobnicate"}), {"frobnicate"});
  expectRefused(run({"stray"}), {"stray"});
  expectRefused(run({"--joystick", "usb"}), {"--joystick", "usb"});
  expectRefused(run({"--joystick", "none"}), {"--device-info"});
  expectRefused(run({"--device-info", "127.0.0.1,502"}), {"--joystick none"});
  expectRefused(run({"--log-level", "9"}), {"--log-level"});
  expectRefused(run({"--report", space_.file("no/such/folder/report.json")}), {"no/such/folder"});
  expectRefused(run({"--duration", "3"}), {"--duration goes with --monitor"});
  expectRefused(run({"--monitor"}), {"--monitor needs --device-info"});
  expectRefused(run({"--monitor", "--device-info", "127.0.0.1,abc"}), {"TCP port 0"});
  expectRefused(run({"--monitor", "--device-info", "/dev/ttyNOPE9,115200,N,8,1"}),
                {"serial path /dev/ttyNOPE9 does not exist"});
  expectRefused(run({"--monitor", "--device-info", "127.0.0.1,502", "--scenario", "x.toml"}),
                {"--monitor runs no bundle"});
}

// A bundle built for the other framework would crash the host once loaded.
TEST_F(RockerSimArguments, RefusesAMissingBundleAndOneBuiltForTheOtherFramework) {
  expectRefused(
      run({"--bundle", space_.file("librocker.so"), "--report", space_.file("report.json")}),
      {"bundle not found", "librocker.so"});
  const auto other =
      run({"--bundle", ROCKER_OTHER_FRAMEWORK_BUNDLE, "--report", space_.file("report.json")});
  expectRefused(other, {std::string("framework ") + ROCKER_OTHER_FRAMEWORK + " ("});
  EXPECT_EQ(std::count(other.err.begin(), other.err.end(), '\n'), 1) << other.err;
}

// A bad scenario or options file is named with the line at fault; one that
// cannot be read, by its name.
TEST_F(RockerSimArguments, NamesFileAndLineOfABadScenarioOrOptionsFile) {
  const std::string scenario =
      space_.write("bad.toml", "[[step]]\nat = 1.0\npress = \"power\"\nhold = -1\n");
  expectRefused(run({"--scenario", scenario, "--report", space_.file("report.json")}),
                {"bad.toml", " 4 |", "hold"});
  const std::string options = space_.write("options.toml", "cycle = 0.01\nrotation = \n");
  expectRefused(run({"--options", options, "--report", space_.file("report.json")}),
                {"options.toml", " 2 |"});
  expectRefused(run({"--scenario", space_.file("missing.toml")}), {"missing.toml"});
}

// The bundle polls whatever device --device-info names; the scenario's stick
// steps are left out, since the stick is in someone else's hand.
TEST(RockerSimOutsideJoystick, PollsTheDeviceNamedByDeviceInfo) {
  SimWorkspace space;
  using velk::joystick_sim::SimulatedJoystick;
  SimulatedJoystick joystick(SimulatedJoystick::Transport::kTcp, std::chrono::seconds(60));
  const std::string scenario = space.write("outside.toml",
                                           "[[step]]\nat = 0.0\nstick = { x = 500 }\n"
                                           "[[step]]\nat = 2.5\nnote = \"end\"\n");
  const auto result = SimProcess::run(
      {ROCKER_SIM_EXECUTABLE, "--joystick", "none", "--device-info", joystick.deviceInfo(),
       "--scenario", scenario, "--report", space.file("report.json")},
      space.path(), std::chrono::seconds(60));
  ASSERT_EQ(result.status, 0) << result.err;
  const auto& slave = *joystick.slave();
  EXPECT_GT(slave.requestCount(4), 0);  // the stick registers were read
  EXPECT_EQ(slave.inputRegister(velk::joystick_sim::JoystickMap::kFirstAxisRegister), 0)
      << "nothing moved our stick";
  const auto report = nlohmann::json::parse(std::ifstream(space.file("report.json")));
  EXPECT_EQ(report["run"]["joystick"], "none");
  EXPECT_TRUE(report["events"]["sticks"].empty());
}

}  // namespace
