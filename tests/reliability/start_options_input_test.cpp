// Hostile start options handed to the loaded bundle's start(): wrong types,
// special numbers, huge texts, deep nesting, bytes that are not UTF-8. The
// host must survive every one of them: the options are used as far as they
// are sound, defaults fill the rest, and a text that cannot be read raises
// the parser's error.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "host_rig/bundle_host.h"
#include "host_rig/rig_timing.h"
#include "reliability/child_outcome.h"
#include "robot_sim/simulated_robot.h"
#include "support/log_capture.h"

namespace rocker_reliability {

using velk::host_rig::BundleHost;
using namespace velk::host_rig::timing;
namespace {

constexpr int kAccepted = 0;
constexpr int kRefused = 3;
// A sound answer to any of the texts below comes in well under a second; a
// child still busy after this long is as good as hung.
constexpr unsigned int kChildSeconds = 10;
const char* const kDefaultSummary =
    "X:1  Y:2  Z:3  pose_speed_fast:0.1  pose_speed_slow:0.01  ori_velc:0.005  acc:1 debug:0  "
    "rotation_angle:0";

// Starts and stops the bundle with `options`, the robot kept out of the
// joystick's mode so that no device is opened. kAccepted, or kRefused when
// start() raised.
int startWith(const std::string& options, velk::test::LogCapture& log) {
  velk::sim::SimulatedRobot robot;
  robot.setRobotModeType(5);
  BundleHost rocker(ROCKER_BUNDLE_PATH);
  try {
    rocker.start(robot.api(), log.callback(), options);
  } catch (const std::exception&) {
    return kRefused;
  }
  rocker.stop();
  return kAccepted;
}

// startWith() in a child process, which a crash or a hang takes down alone.
ChildOutcome startInChild(const std::string& options) {
  return ChildOutcome::of(
      [&] {
        velk::test::LogCapture log;
        return startWith(options, log);
      },
      kChildSeconds);
}

std::string summaryLine(const velk::test::LogCapture& log) {
  for (const auto& message : log.messages()) {
    if (message.rfind("X:", 0) == 0) return message;
  }
  return "";
}

std::string nested(int depth, const std::string& open, const std::string& inner,
                   const std::string& close) {
  std::string text = "a = ";
  for (int i = 0; i < depth; ++i) text += open;
  text += inner;
  for (int i = 0; i < depth; ++i) text += close;
  return text + "\n";
}

struct TypedCase {
  const char* name;
  const char* options;
};

// Every key with a value of some other TOML type gives its default, without
// a message of its own.
TEST(StartOptionsInputTest, ValuesOfTheWrongTypeGiveTheDefaults) {
  const std::vector<TypedCase> cases = {
      {"strings", "cycle = \"0.004\"\ntool_x = \"1\"\nacc = \"1.5\"\ndebug = \"1\"\n"},
      {"booleans", "cycle = true\ntool_y = false\nrotation = true\ndebug = true\n"},
      {"arrays", "cycle = [0.004]\ntool_z = [3]\nori_velc = []\ndevice_info = [\"x\"]\n"},
      {"tables", "acc = {value = 2.0}\npose_speed_fast = {}\n[tool_x]\nv = 1\n"},
      {"dates", "cycle = 1979-05-27\ntool_x = 07:32:00\nacc = 1979-05-27T07:32:00Z\n"},
      {"swapped numbers", "cycle = 1\ntool_x = 1.0\nacc = 2\npose_speed_slow = 1\n"},
  };
  for (const auto& c : cases) {
    velk::test::LogCapture log;
    EXPECT_EQ(startWith(c.options, log), kAccepted) << c.name;
    EXPECT_EQ(summaryLine(log), kDefaultSummary) << c.name;
    EXPECT_EQ(log.countContaining("Rocker cycle out of range"), 0) << c.name;
  }
}

// A period the task thread cannot run with is replaced by the default and
// said so; the bundle starts all the same.
TEST(StartOptionsInputTest, UnusableCyclesFallBackToTheDefaultPeriod) {
  for (const char* cycle : {"0.0", "-0.01", "1e-9", "nan", "inf", "-inf", "1e300", "5000.0"}) {
    velk::test::LogCapture log;
    EXPECT_EQ(startWith(std::string("cycle = ") + cycle + "\n", log), kAccepted) << cycle;
    EXPECT_EQ(log.countContaining("Rocker cycle out of range, using the default"), 1) << cycle;
  }
}

// A slip of units or a wrong axis mapping must not reach the robot: each is
// refused with its Warning, and the service gets the defaults.
TEST(StartOptionsInputTest, UnitSlipsAndBrokenMappingsGiveTheDefaults) {
  const struct {
    const char* options;
    int warnings;
  } cases[] = {
      {"pose_speed_fast = 1e9\npose_speed_slow = 10.0\nori_velc = 1e9\n", 3},
      {"tool_x = 1\ntool_y = 1\ntool_z = 1\n", 1},
      {"tool_x = 0\n", 1},
      {"tool_x = 4294967297\ntool_y = 4294967298\ntool_z = 4294967299\n", 1},
      {"max_speed = 1e3\nmax_angular_speed = 1e3\njog_axes = 4294967302\ninput_timeout = 1e9\n"
       "stick_limit = 32767\n",
       5},
  };
  for (const auto& c : cases) {
    velk::test::LogCapture log;
    EXPECT_EQ(startWith(c.options, log), kAccepted) << c.options;
    EXPECT_EQ(summaryLine(log), kDefaultSummary) << c.options;
    EXPECT_EQ(log.countContaining("out of range, using the default"), c.warnings) << c.options;
    EXPECT_EQ(log.countContaining("Rocker input_timeout:0.3"), 1) << c.options;
    EXPECT_EQ(log.countContaining("Rocker max_speed:0.25 stick_limit:2000"), 1) << c.options;
    EXPECT_EQ(log.countContaining("Rocker jog_axes:6"), 0) << c.options;
  }
}

TEST(StartOptionsInputTest, NotTomlRaisesTheParsersErrorAfterLoggingTheText) {
  const std::vector<std::string> texts = {"cycle = = 1",
                                          "[unclosed",
                                          "device_info = \"no end",
                                          "=",
                                          "tool_x = 1\ntool_x = 2\n",
                                          std::string("a = 1\0b = 2", 11)};
  for (const std::string& text : texts) {
    velk::test::LogCapture log;
    EXPECT_EQ(startWith(text, log), kRefused) << text;
    EXPECT_EQ(log.countContaining("Start rocker. Options: \n"), 1) << text;
  }
}

// A large text of comments and unknown keys is read in bounded time.
TEST(StartOptionsInputTest, HugeOptionsAreReadInBoundedTime) {
  std::string text = "device_info = \"" + std::string(100000, 'x') + "\"\n";
  for (int i = 0; i < 20000; ++i) text += "unknown_" + std::to_string(i) + " = " + "1  # note\n";
  velk::test::LogCapture log;
  const auto begin = Clock::now();
  EXPECT_EQ(startWith(text, log), kAccepted);
  const auto took = Clock::now() - begin;
  std::cout << "[figure] start() with " << text.size()
            << " bytes of options: " << millisecondsOf(took) << " ms" << std::endl;
  // Parsing is CPU-bound, so the sanitizers' slowdown counts in full here.
  EXPECT_LE(took, Clock::duration(kSanitized ? 20s : 4s));
  EXPECT_EQ(log.countContaining("Rocker unknown start option: "), 10) << "no flood";
  EXPECT_EQ(log.countContaining("Rocker unknown start options: 19990 more (ignored)"), 1);
}

// Nesting is legal TOML, but the parser descends one level of the stack per
// bracket. A text of some kilobytes must neither take the host down nor
// hold it for long: refused or read, either is fine.
TEST(StartOptionsInputTest, DeeplyNestedOptionsDoNotTakeTheHostDown) {
  struct Case {
    const char* name;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"arrays 20000 deep", nested(20000, "[", "", "]")},
      {"inline tables 20000 deep", nested(20000, "{b=", "1", "}")},
  };
  for (const auto& c : cases) {
    const ChildOutcome outcome = startInChild(c.text);
    EXPECT_TRUE(outcome.exited() &&
                (outcome.exitCode() == kAccepted || outcome.exitCode() == kRefused))
        << c.name << " (" << c.text.size() << " bytes): " << outcome.describe();
  }
}

// TOML is UTF-8. A byte that is not must be refused as a syntax error, and
// reading it must stay inside the text (the sanitizer builds check that).
TEST(StartOptionsInputTest, BytesThatAreNotUtf8AreRefused) {
  for (const char* text : {"device_info = '\xd6'\n", "device_info = '''\xff\xfe'''\n",
                           "device_info = \"\xc3\x28\"\n", "# \xe2\x28\xa1\ncycle = 0.01\n"}) {
    const ChildOutcome outcome = startInChild(text);
    EXPECT_TRUE(outcome.exited() && outcome.exitCode() == kRefused)
        << "text " << ::testing::PrintToString(std::string(text)) << ": " << outcome.describe();
  }
}

}  // namespace
}  // namespace rocker_reliability
