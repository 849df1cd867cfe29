#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/log_level.h"
#include "joystick_sim/joystick_map.h"
#include "rocker/rocker_service/rocker_signal_table.h"
#include "rocker_service/scratch_folder.h"
#include "rocker_service/service_rig.h"

namespace velk::zorv_comm {
namespace {

using joystick_sim::JoystickMap;
using Table = RockerSignalTable;

// The start options' defaults again, with another input_timeout; like any
// configure(), it puts the fast pose speed in use.
void setInputTimeout(RockerService& service, double seconds) {
  RockerSettings settings;
  settings.input_timeout = seconds;
  service.configure(settings);
}

// The service's data step and what it does with it, fed snapshots on the
// rig's stepped clock, one period per cycle.
struct FedService {
  int logged(int level, const std::string& message) const { return rig.log.count(level, message); }
  void cycle() { rig.cycle(); }
  // The registration cycle, then the first data step.
  void powerOn() {
    cycle();
    cycle();
  }
  void press(const char* button) {
    joystick.press(button, false);
    cycle();  // a press is a rising edge: the button must be seen up first
    joystick.press(button, true);
    cycle();
  }
  // Jogging switched on with the power button, and the stick read centred
  // since then, as a jog needs.
  void switchOn() {
    if (!rig.service.rockerOn()) {
      press(Table::kPowerButton);
      // The cycle that shows a new robot state on the indicator ends
      // before the buttons.
      for (int i = 0; i < 2 && !rig.service.rockerOn(); ++i) cycle();
      ASSERT_TRUE(rig.service.rockerOn());
      joystick.press(Table::kPowerButton, false);
    }
    cycle();
  }
  void stickX(std::initializer_list<int> xs) {
    for (int x : xs) {
      joystick.setStickX(x);
      cycle();
    }
  }
  // A push that settles: the jog starts with the second cycle.
  void jogAt(int x) {
    stickX({x - 10, x});
    ASSERT_EQ(rig.count("speedLine"), 1u);
  }
  void failAll(int error) { joystick.setAllErrors(error); }
  // The coils only: the stick stays readable.
  void failButtons(int error) {
    joystick.setError(Table::kPowerButton, error);
    joystick.setError(Table::kSpeedButton, error);
  }

  test::ServiceRig rig;
  test::SnapshotJoystick& joystick = rig.joystick;
};

class JoystickDataTest : public ::testing::Test, protected FedService {};

TEST_F(JoystickDataTest, PowersAndRegistersInModeEightOnly) {
  const auto voltages = [this] {
    std::vector<double> values;
    for (const auto& call : rig.calls("setToolVoltageOutputDomain")) values.push_back(call.args[0]);
    return values;
  };
  cycle();
  EXPECT_EQ(voltages(), (std::vector<double>{0, 24}));
  EXPECT_EQ(logged(kLogInfo, "Rocker power on"), 1);
  EXPECT_EQ(rig.registry->modbusGetSignalNames().size(), 16u);
  EXPECT_EQ(logged(kLogError, "Get rocker modbus data error!"), 0) << "no data step yet";

  rig.robot.setRobotModeType(5);
  cycle();
  EXPECT_TRUE(rig.service.currentValues().empty());
  EXPECT_TRUE(rig.service.previousValues().empty());
  EXPECT_TRUE(rig.registry->modbusGetSignalNames().empty());
  cycle();
  EXPECT_EQ(voltages().size(), 2u);

  rig.robot.setRobotModeType(sim::kRobotModeRunning);
  cycle();
  EXPECT_EQ(voltages(), (std::vector<double>{0, 24, 0, 24}));
  EXPECT_EQ(rig.service.currentValues().size(), 16u);
  EXPECT_EQ(rig.registry->modbusGetSignalNames().size(), 16u);

  // Powered anew the joystick comes up with its lights off: jogging is off
  // too, and a push moves nothing until the power button.
  switchOn();
  jogAt(300);
  rig.robot.setRobotModeType(5);
  cycle();
  rig.robot.setRobotModeType(sim::kRobotModeRunning);
  powerOn();
  EXPECT_FALSE(rig.service.rockerOn());
  EXPECT_EQ(logged(kLogInfo,
                   "Rocker switched off: the joystick was powered anew; the power button "
                   "switches it on"),
            1);
  stickX({0, 290, 300, 300});
  EXPECT_EQ(rig.count("speedLine"), 1u);
  switchOn();
  stickX({0, 290, 300});
  EXPECT_EQ(rig.count("speedLine"), 2u);
}

// A joystick that cannot be read switches jogging off after about a
// second, whatever the period.
TEST(JoystickSwitchOffTest, ReadErrorsSwitchOffAfterASecondAtAnyPeriod) {
  for (long period_ms : {10L, 100L}) {
    SCOPED_TRACE(period_ms);
    FedService t;
    t.powerOn();
    t.switchOn();
    t.jogAt(300);
    t.failButtons(4);
    long unreadable_ms = 0;
    while (t.rig.service.rockerOn() && unreadable_ms < 5000) {
      t.cycle();
      t.rig.clock.advanceMs(period_ms - test::ServiceRig::kPeriodMs);
      unreadable_ms += period_ms;
    }
    EXPECT_GE(unreadable_ms, 1000);
    EXPECT_LE(unreadable_ms, 1000 + period_ms);
    EXPECT_EQ(t.rig.count("stopLine"), 1u);
  }
}

// The host calls before a start's command, and the wait after a recent
// stop, may outlast the operator's push: the stick is read once more just
// before the command, and nothing goes out if it is no longer pushed or
// its values are stale.
TEST(JoystickJogStartTest, NoCommandOnAStickReleasedOrStaleWhileTheStartWasPrepared) {
  enum class During { kStallRelease, kStallSilent, kHoldBackRelease };
  const struct {
    const char* name;
    During during;
    const char* logged;
  } cases[] = {
      {"released while getToolPose stalls", During::kStallRelease,
       "Rocker start dropped: the stick was released or moved while the start was prepared"},
      {"silent while getToolPose stalls", During::kStallSilent,
       "Rocker start dropped: the stick values are 500 ms old while the start was prepared"},
      {"released in the hold-back after a stop", During::kHoldBackRelease,
       "Rocker start dropped: the stick was released or moved while the start was prepared"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FedService t;
    auto& rig = t.rig;
    t.powerOn();
    t.switchOn();
    std::size_t starts = 0, stops = 0;
    if (c.during == During::kHoldBackRelease) {
      t.jogAt(300);
      t.stickX({0});
      starts = 1;
      stops = 1;
    } else {
      rig.clock.advanceMs(JogDecision::kMinimumPauseMs);  // no hold-back
    }
    const long stall_ms = c.during == During::kHoldBackRelease ? 0 : 500;
    rig.robot.stallCall("getToolPose", [&t, &c, stall_ms] {
      t.rig.clock.advanceMs(stall_ms);
      if (c.during == During::kStallSilent) {
        t.joystick.setSilent(true);
      } else {
        t.joystick.setStickX(0);
      }
    });
    t.stickX({290, 300});
    EXPECT_EQ(rig.count("getToolPose"), starts + 1) << "the start was prepared";
    EXPECT_EQ(rig.count("speedLine"), starts) << "nothing sent";
    EXPECT_EQ(rig.count("stopLine"), stops);
    EXPECT_EQ(t.logged(kLogInfo, c.logged), 1);
    EXPECT_FALSE(rig.service.moving());

    rig.robot.stallCall("getToolPose", nullptr);
    t.joystick.setSilent(false);
    t.stickX({0, 290, 300});
    EXPECT_EQ(rig.count("speedLine"), starts + 1) << "a push afterwards jogs";
  }
}

// A host part that throws or is missing is a host fault: said once while
// it lasts and once when it ends, never a crash, and a jog it ends has its
// stop sent, if need be once the host can take it again.
TEST(JoystickHostFaultTest, AFaultyHostPartIsReportedOnceAndTheJogStopsOnce) {
  enum class Phase { kPowerOn, kStart, kJog };
  // "getStatus" throws, "robot" is gone (no failure to log), any other
  // getter returns no handle.
  const struct {
    const char* part;
    Phase phase;
    bool stop_waits;
  } cases[] = {{"getStatus", Phase::kJog, false},         {"getRobotState", Phase::kJog, false},
               {"getMotionControl", Phase::kJog, true},   {"getRobotManage", Phase::kJog, false},
               {"getRuntimeMachine", Phase::kJog, false}, {"getMath", Phase::kStart, false},
               {"getIoControl", Phase::kPowerOn, false},  {"robot", Phase::kJog, true}};
  const auto fail = [](sim::SimulatedRobot& robot, const std::string& part, bool on) {
    if (part == "getStatus") {
      robot.failCall(part, on ? -1 : 0);
    } else if (part == "robot") {
      robot.setRobotNames(on ? std::vector<std::string>{} : std::vector<std::string>{"rob1"});
    } else {
      robot.withholdHandle(part, on);
    }
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.part);
    const std::string part = c.part;
    const std::string logged = part == "robot"       ? ""
                               : part == "getStatus" ? "simulated host failure in getStatus"
                                                     : "the host returned no handle from " + part;
    FedService t;
    auto& rig = t.rig;
    if (c.phase != Phase::kPowerOn) {
      t.powerOn();
      t.switchOn();
    }
    if (c.phase == Phase::kJog) t.jogAt(300);
    fail(rig.robot, part, true);
    if (c.phase == Phase::kStart) t.stickX({290, 300});
    t.stickX({0});  // let go
    for (int i = 0; i < 20; ++i) t.cycle();
    EXPECT_FALSE(rig.service.moving());
    if (c.stop_waits) {
      EXPECT_EQ(rig.count("stopLine"), 0u);
    }

    fail(rig.robot, part, false);
    for (int i = 0; i < 3; ++i) t.cycle();
    EXPECT_EQ(rig.count("stopLine"), c.phase == Phase::kPowerOn ? 0u : 1u);
    EXPECT_EQ(rig.count("speedLine"), c.phase == Phase::kJog ? 1u : 0u);
    EXPECT_EQ(rig.log.countContaining("Rocker host call recovered after "), logged.empty() ? 0 : 1);
    EXPECT_EQ(rig.log.countContaining("failures: " + logged), logged.empty() ? 0 : 1);
    EXPECT_EQ(t.logged(kLogError, "Rocker host call failed: " + logged), logged.empty() ? 0 : 1)
        << "once, for all its cycles";
  }
}

// A read error is shown once and its end reported; a version word read in
// error would record 0.0.0 over the real version. Buttons act on their
// rising edges.
TEST_F(JoystickDataTest, ButtonsAndTheVersionActOnCleanReadsAndRisingEdges) {
  test::ScratchFolder folder;
  rig.service.setConfigPath(folder.file("package.json"));
  joystick.set(Table::kFirmwareVersion, JoystickMap::kFirmwareWord);
  joystick.set(Table::kHardwareVersion, JoystickMap::kHardwareWord);
  for (const char* name : {Table::kFirmwareVersion, Table::kHardwareVersion}) {
    joystick.setError(name, 4);  // the input registers fail as a batch
  }
  for (const char* axis : Table::axes()) joystick.setError(axis, 4);
  powerOn();
  EXPECT_EQ(rig.service.indicatorState(), 1);
  press(Table::kPowerButton);  // pressed while the version is not read
  ASSERT_TRUE(rig.service.rockerOn());
  EXPECT_FALSE(std::filesystem::exists(folder.file("package.json")));
  EXPECT_EQ(logged(kLogError, "Get rocker modbus data error!"), 1);
  EXPECT_EQ(rig.service.indicatorState(), 1) << "the light shows the error while it lasts";
  failAll(0);
  cycle();
  EXPECT_EQ(logged(kLogInfo, "Get rocker modbus data success!"), 1);
  EXPECT_EQ(rig.service.indicatorState(), 5) << "the robot's state shows again";
  EXPECT_EQ(test::ScratchFolder::read(folder.file("package.json")),
            "{\n    \"firmware_version\": \"1.1.3\"\n}");
  EXPECT_TRUE(rig.service.rockerOn()) << "a held button switches once";

  press(Table::kPowerButton);
  EXPECT_FALSE(rig.service.rockerOn());
  EXPECT_EQ(logged(kLogInfo, "close rocker"), 1);
  press(Table::kPowerButton);
  EXPECT_EQ(logged(kLogInfo, "startup rocker"), 2);
  EXPECT_EQ(logged(kLogInfo, "rocker version: 0.3.0 firmware version: 1.1.3 hardware version: 2:2"),
            1);
  press(Table::kSpeedButton);
  EXPECT_EQ(rig.service.poseSpeed(), 0.01);
  EXPECT_EQ(logged(kLogInfo, "Rocker slow mode"), 1);
  press(Table::kSpeedButton);
  EXPECT_EQ(rig.service.poseSpeed(), 0.1);
  EXPECT_EQ(logged(kLogInfo, "Rocker fast mode"), 1);
  EXPECT_EQ(rig.count("stopLine"), 0u) << "the robot was at rest";
  rig.robot.setRuntimeStatus(sim::kRuntimePaused);
  cycle();
  EXPECT_EQ(rig.service.indicatorState(), 6);
}

// Every way a jog's conditions can end: the jog stops exactly once, and
// nothing starts again until the stick is pushed anew.
TEST_F(JoystickDataTest, AJogEndsOnceWhenItsConditionsEnd) {
  using End = std::function<void(FedService&)>;
  const struct {
    const char* name;
    const char* logged;
    End end;
  } ways[] = {
      {"stick values older than input_timeout", "Rocker stop: the stick values are",
       [](FedService& t) {
         setInputTimeout(t.rig.service, 0.6);
         t.failAll(4);
         const std::size_t stops = t.rig.count("stopLine");
         t.cycle();
         EXPECT_EQ(t.rig.count("stopLine"), stops) << "one failed read is no reason yet";
         // The last values read are a period old.
         setInputTimeout(t.rig.service, 0.001);
       }},
      {"connection lost", "Get rocker modbus data error!", [](FedService& t) { t.failAll(-1); }},
      {"power button", "close rocker",
       [](FedService& t) { t.joystick.press(Table::kPowerButton, true); }},
      {"read errors for 1 s in a row",
       "Rocker switched off: the joystick could not be read for more than 1 s in a row",
       [](FedService& t) {
         t.failButtons(4);
         const std::size_t stops = t.rig.count("stopLine");
         for (int i = 0; i < 100; ++i) t.cycle();
         EXPECT_EQ(t.rig.count("stopLine"), stops);
       }},
      {"speed button", "Rocker slow mode",
       [](FedService& t) { t.joystick.press(Table::kSpeedButton, true); }},
      {"robot leaves mode 8", "Rocker modbus siganl remove finish",
       [](FedService& t) { t.rig.robot.setRobotModeType(5); }},
      {"freedrive", "Rocker stop", [](FedService& t) { t.rig.robot.setFreedriveEnabled(true); }},
      {"runtime status leaves 6", "Rocker stop",
       [](FedService& t) { t.rig.robot.setRuntimeStatus(sim::kRuntimePaused); }},
      {"safety mode leaves 1", "Rocker stop",
       [](FedService& t) { t.rig.robot.setSafetyModeType(2); }},
      {"stick beyond stick_limit",
       "Rocker implausible stick value: get_x is 32767, beyond stick_limit 2000",
       [](FedService& t) { t.joystick.setStickX(32767); }},  // a railed axis
      {"a host query throws every cycle",
       "Rocker host call failed: simulated host failure in getStatus",
       [](FedService& t) { t.rig.robot.failCall("getStatus", -1); }},
  };
  // One joystick for every way: each ends with a fresh jog for the next.
  powerOn();
  switchOn();
  jogAt(300);
  auto& robot = rig.robot;
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    const std::size_t stops = rig.count("stopLine");
    const std::size_t starts = rig.count("speedLine");
    const int stop_logs = logged(kLogInfo, "Rocker stop");
    const int way_logs = rig.log.countContaining(way.logged);
    const int causes = rig.log.countContaining("Rocker stop cause: ");
    ASSERT_TRUE(rig.service.moving());
    // A growth the decision would take for a fresh push if it saw it twice.
    stickX({320});
    ASSERT_FALSE(robot.steady());
    way.end(*this);
    cycle();
    EXPECT_EQ(rig.count("stopLine"), stops + 1) << "one stop";
    EXPECT_EQ(logged(kLogInfo, "Rocker stop"), stop_logs + 1);
    EXPECT_EQ(rig.log.countContaining("Rocker stop cause: "), causes + 1);
    EXPECT_GT(rig.log.countContaining(way.logged), way_logs);
    EXPECT_FALSE(rig.service.moving());
    for (int i = 0; i < 3; ++i) cycle();
    EXPECT_EQ(rig.count("stopLine"), stops + 1) << "and never a second one";

    // Conditions back, the stick still pushed: nothing starts again, not
    // even on a nudge, until the stick has been centred.
    const int held_back = rig.log.countContaining("Rocker start held back");
    setInputTimeout(rig.service, RockerSettings().input_timeout);
    failAll(0);
    robot.failCall("getStatus", 0);
    robot.setRobotModeType(sim::kRobotModeRunning);
    robot.setFreedriveEnabled(false);
    robot.setRuntimeStatus(sim::kRuntimeIdle);
    robot.setSafetyModeType(1);
    joystick.setStickX(320);
    joystick.press(Table::kPowerButton, false);
    joystick.press(Table::kSpeedButton, false);
    powerOn();
    switchOn();
    for (int i = 0; i < 3; ++i) cycle();
    stickX({340, 340});
    EXPECT_EQ(rig.count("speedLine"), starts);
    EXPECT_GT(rig.log.countContaining("Rocker start held back"), held_back);
    stickX({0, 290, 300});  // a fresh push from the centre does
    EXPECT_EQ(rig.count("speedLine"), starts + 1);
  }
}

// A jog counts as ended only once stopLine has returned; nothing the host
// throws leaves the service.
TEST_F(JoystickDataTest, AStopTheHostThrowsOnIsSentAgainUntilItReturns) {
  powerOn();
  switchOn();
  jogAt(300);
  rig.robot.failCall("stopLine", 2);
  stickX({200});  // released
  EXPECT_EQ(logged(kLogError, "Rocker host call failed: simulated host failure in stopLine"), 1);
  stickX({220});  // throws again
  EXPECT_EQ(rig.count("stopLine"), 0u);
  cycle();
  EXPECT_EQ(rig.count("stopLine"), 1u) << "sent again until it went out";
  stickX({240});
  EXPECT_EQ(rig.count("stopLine"), 1u);
  EXPECT_EQ(rig.count("speedLine"), 1u) << "no start on a stick held through the stop";

  stickX({0, 290, 300});
  ASSERT_EQ(rig.count("speedLine"), 2u);
  rig.robot.failCall("stopLine", -1);
  EXPECT_NO_THROW(rig.service.haltJog());
  EXPECT_EQ(rig.log.countContaining("Rocker stop failed at shutdown: simulated host failure"), 1);
  rig.robot.failCall("stopLine", 0);
  rig.service.haltJog();
  EXPECT_EQ(rig.count("stopLine"), 2u) << "tried once more, and it went out";
}

// The decision starts only on values the joystick delivered, from a stick
// seen centred since it was registered, switched on or read again.
TEST(JoystickJogStartTest, NoStartOnUndeliveredValuesOrAStickAlreadyDeflected) {
  // Each brings the joystick to where the push below is seen; `deliberate`:
  // a push seen whole after a read error, which is a push.
  const struct {
    const char* name;
    bool deliberate;
    std::function<void(FedService&)> before;
  } events[] = {
      {"read error after arming", true,
       [](FedService& t) {
         t.powerOn();
         t.switchOn();
         t.stickX({380});  // arms; not steady yet
         t.failAll(4);
         for (int i = 0; i < 3; ++i) t.cycle();
         EXPECT_EQ(t.rig.count("speedLine"), 0u) << "no start while the joystick is unread";
         t.failAll(0);
       }},
      {"registered with the stick deflected", false,
       [](FedService& t) {
         t.joystick.setStickX(400);
         t.powerOn();
         t.switchOn();
       }},
      {"switched on with the stick deflected", false,
       [](FedService& t) {
         t.powerOn();
         t.stickX({400});
         t.joystick.press(Table::kPowerButton, true);
         t.cycle();
         ASSERT_TRUE(t.rig.service.rockerOn());
       }},
      {"read error ends with the stick deflected", false,
       [](FedService& t) {
         t.powerOn();
         t.switchOn();
         t.failAll(4);
         t.stickX({400});  // pushed while it cannot be read
         t.cycle();
         // Unread for longer than its values count as current (input_timeout).
         setInputTimeout(t.rig.service, 0.001);
         t.failAll(0);
         t.cycle();
         setInputTimeout(t.rig.service, RockerSettings().input_timeout);
       }},
  };
  for (const auto& event : events) {
    SCOPED_TRACE(event.name);
    FedService t;
    auto& rig = t.rig;
    event.before(t);
    t.stickX({400, 420, 430});
    EXPECT_EQ(rig.count("speedLine"), event.deliberate ? 1u : 0u);
    EXPECT_EQ(rig.log.countContaining("Rocker start held back"), event.deliberate ? 0 : 1);
    if (event.deliberate) continue;
    t.stickX({0, 290, 300});
    EXPECT_EQ(rig.count("speedLine"), 1u);
  }
  // A push while the buttons are unread for a moment.
  FedService t;
  t.powerOn();
  t.switchOn();
  t.failButtons(4);
  t.stickX({400});
  t.cycle();
  EXPECT_EQ(t.rig.count("speedLine"), 0u) << "no start while a signal is in error";
  t.failButtons(0);
  t.cycle();
  EXPECT_EQ(t.rig.count("speedLine"), 1u) << "the push is seen once all is read";
}

// With jog_follow the stick is read every kCyclesPerRead cycles (10 Hz at
// the 10 ms cycle): in between the joystick is silent, its values unchanged
// and young.
struct FollowingService : FedService {
  static constexpr int kCyclesPerRead = 10;
  struct Stick {
    int x;
    int y = 0;
  };

  explicit FollowingService(bool follow, double pose_speed_fast = 0.1) {
    RockerSettings settings;
    settings.jog_follow = follow;
    settings.pose_speed_fast = pose_speed_fast;
    rig.service.configure(settings);
    powerOn();
    switchOn();
  }
  void read(Stick stick) {
    joystick.setStickX(stick.x);
    joystick.set(Table::kY, stick.y);
    joystick.setSilent(false);
    cycle();
    joystick.setSilent(true);
    for (int i = 1; i < kCyclesPerRead; ++i) cycle();
  }
  // The x of every speed command, each within max_speed.
  std::vector<double> speedsX() const {
    std::vector<double> xs;
    for (const auto& call : rig.calls("speedLine")) {
      EXPECT_LE(std::hypot(call.args[0], call.args[1], call.args[2]),
                RockerSettings().max_speed + 1e-12);
      xs.push_back(std::round(call.args[0] * 1e4) / 1e4);
    }
    return xs;
  }
};

// What a following jog sends, read by read: one command at most per read,
// only when it is more than a step (5 mm/s here) from the last, and the
// drops that end a fixed jog only slow it.
TEST(JogFollowTest, TheSpeedFollowsTheStickReadByRead) {
  using Stick = FollowingService::Stick;
  const struct {
    const char* name;
    std::vector<Stick> reads;  // the first two start the jog
    std::vector<double> speeds_x;
    bool stopped;
    bool follow = true;
    double pose_speed_fast = 0.1;
  } cases[] = {
      {"a growing push",
       {{300}, {300}, {400}, {520}, {540}, {700}, {1000}},
       {0.03, 0.04, 0.052, 0.07, 0.1},
       false},
      {"an easing push slows, does not stop",
       {{800}, {800}, {650}, {500}, {300}, {150}},
       {0.08, 0.065, 0.05, 0.03, 0.015},
       false},
      {"noise on a held stick sends nothing",
       {{500}, {500}, {503}, {497}, {530}, {480}, {500}},
       {0.05},
       false},
      {"turning the push 5 degrees is a change", {{500}, {500}, {498, 45}}, {0.05, 0.0498}, false},
      {"each command is held to max_speed",
       {{300}, {300}, {400}, {700}, {900}},
       {0.15, 0.2, 0.25},
       false,
       true,
       0.5},
      {"a reversal stops", {{500}, {500}, {-500}}, {0.05}, true},
      {"letting go stops", {{500}, {500}, {0}}, {0.05}, true},
      {"easing into the centre band stops", {{500}, {500}, {300}, {90}}, {0.05, 0.03}, true},
      {"without jog_follow the speed is fixed", {{300}, {300}, {400}, {700}}, {0.03}, false, false},
      {"without jog_follow easing stops", {{800}, {800}, {650}}, {0.08}, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FollowingService s(c.follow, c.pose_speed_fast);
    for (const Stick& stick : c.reads) s.read(stick);
    EXPECT_EQ(s.speedsX(), c.speeds_x);
    EXPECT_EQ(s.rig.count("stopLine"), c.stopped ? 1u : 0u);
    EXPECT_EQ(s.rig.service.moving(), !c.stopped);
    EXPECT_LE(s.rig.robot.queryCounts()["getToolPose"], c.reads.size()) << "once per read";
    EXPECT_EQ(s.rig.log.countContaining("Base_T_Rocker---"), 1) << "the start's frames only";
    EXPECT_EQ(s.rig.log.countContaining("is above max_speed"), 0) << "nor a warning each read";
  }
}

// Letting go stops in the cycle of the read that shows it; every interlock
// ends a following jog once, and nothing follows after it.
TEST(JogFollowTest, AReleaseAndEveryInterlockEndAFollowingJog) {
  using Stick = FollowingService::Stick;
  const struct {
    const char* name;
    std::function<void(FollowingService&)> end;
  } ways[] = {
      {"released", [](FollowingService& s) { s.joystick.setStickX(0); }},
      {"stale values",
       [](FollowingService& s) {
         s.joystick.setSilent(true);
         s.rig.clock.advanceMs(400);
       }},
      {"connection lost", [](FollowingService& s) { s.joystick.setAllErrors(-1); }},
      {"implausible stick", [](FollowingService& s) { s.joystick.setStickX(32767); }},
      {"freedrive", [](FollowingService& s) { s.rig.robot.setFreedriveEnabled(true); }},
      {"runtime status", [](FollowingService& s) { s.rig.robot.setRuntimeStatus(3); }},
      {"safety mode", [](FollowingService& s) { s.rig.robot.setSafetyModeType(2); }},
      {"power button", [](FollowingService& s) { s.press(Table::kPowerButton); }},
      {"speed button", [](FollowingService& s) { s.press(Table::kSpeedButton); }},
      {"speedLine throws",
       [](FollowingService& s) {
         s.rig.robot.failCall("speedLine", -1);
         s.joystick.setStickX(800);
       }},
      {"no usable tool pose",
       [](FollowingService& s) {
         s.rig.robot.replyPose("getToolPose", std::vector<double>{0, 0});
         s.joystick.setStickX(800);
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    FollowingService s(true);
    for (int x : {500, 500, 600}) s.read(Stick{x});
    ASSERT_EQ(s.rig.count("speedLine"), 2u);
    s.joystick.setSilent(false);
    way.end(s);
    s.cycle();
    EXPECT_EQ(s.rig.count("stopLine"), 1u) << "within the read";
    EXPECT_FALSE(s.rig.service.moving());
    s.rig.robot.failCall("speedLine", 0);
    s.rig.robot.replyPose("getToolPose", std::nullopt);
    // The stick moves on, short of a fresh push from the centre.
    const int after = s.rig.service.currentValues().at(Table::kX) == 0 ? 50 : 650;
    for (int x : {after, after + 100}) s.read(Stick{x});
    EXPECT_EQ(s.rig.count("speedLine"), 2u) << "nothing follows an ended jog";
    EXPECT_EQ(s.rig.count("stopLine"), 1u);
  }
}

}  // namespace
}  // namespace velk::zorv_comm
