#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "common/log_level.h"
#include "joystick_sim/joystick_map.h"
#include "rocker_service/joystick_bench.h"
#include "rocker_service/scratch_folder.h"

namespace velk::zorv_comm {
namespace {

using joystick_sim::JoystickMap;
using test::JoystickBench;

// The rig's settings (the start options' defaults) again, with another
// input_timeout; like any configure(), it puts the fast pose speed in use.
void setInputTimeout(JoystickBench& bench, double seconds) {
  RockerSettings settings;
  settings.input_timeout = seconds;
  bench.rig.service.configure(settings);
}

class JoystickDataTest : public ::testing::Test {
 protected:
  int logged(int level, const std::string& message) const {
    return bench_.rig.log.count(level, message);
  }
  std::vector<double> voltages() const {
    std::vector<double> values;
    for (const auto& call : bench_.rig.calls("setToolVoltageOutputDomain")) {
      values.push_back(call.args.at(0));
    }
    return values;
  }

  JoystickBench bench_;
};

TEST_F(JoystickDataTest, PowersAndRegistersInModeEightOnly) {
  bench_.cycle();
  EXPECT_EQ(voltages(), (std::vector<double>{0, 24}));
  EXPECT_EQ(logged(kLogInfo, "Rocker power on"), 1);
  EXPECT_EQ(bench_.rig.registry->modbusGetSignalNames().size(), 16u);
  EXPECT_EQ(logged(kLogError, "Get rocker modbus data error!"), 0) << "no data step yet";

  bench_.rig.robot.setRobotModeType(5);
  bench_.cycle();
  EXPECT_TRUE(bench_.rig.service.currentValues().empty());
  EXPECT_TRUE(bench_.rig.service.previousValues().empty());
  EXPECT_TRUE(bench_.rig.registry->modbusGetSignalNames().empty());
  bench_.cycle();
  EXPECT_EQ(voltages().size(), 2u);

  bench_.rig.robot.setRobotModeType(sim::kRobotModeRunning);
  bench_.cycle();
  EXPECT_EQ(voltages(), (std::vector<double>{0, 24, 0, 24}));
  EXPECT_EQ(bench_.rig.service.currentValues().size(), 16u);
  EXPECT_EQ(bench_.rig.registry->modbusGetSignalNames().size(), 16u);
}

TEST_F(JoystickDataTest, ReadErrorIsShownOnceAndItsEndReported) {
  bench_.slave.answerAllWithException(4);
  bench_.cycle();
  bench_.cycle();
  EXPECT_EQ(logged(kLogError, "Get rocker modbus data error!"), 1);
  EXPECT_EQ(bench_.rig.service.indicatorState(), 1);
  bench_.cycle();
  EXPECT_EQ(logged(kLogError, "Get rocker modbus data error!"), 1);
  EXPECT_EQ(bench_.rig.service.indicatorState(), 5) << "the robot's state shows again";

  bench_.slave.clearFaults();
  ASSERT_TRUE(JoystickBench::waitFor([this] { return bench_.healthy(); }));
  bench_.cycle();
  EXPECT_EQ(logged(kLogInfo, "Get rocker modbus data success!"), 1);
  EXPECT_TRUE(JoystickBench::waitFor(
      [this] { return bench_.slave.holdingRegister(JoystickMap::kIndicatorRegister) == 1; }));
}

TEST_F(JoystickDataTest, IndicatorFollowsTheRobot) {
  bench_.powerOn();
  const struct {
    int safety, status;
    bool freedrive;
    int state, code;
  } rows[] = {{2, 6, false, 2, 3}, {1, 0, false, 3, 2}, {1, 6, true, 4, 4}, {1, 6, false, 5, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.state);
    bench_.rig.robot.setSafetyModeType(row.safety);
    bench_.rig.robot.setRuntimeStatus(row.status);
    bench_.rig.robot.setFreedriveEnabled(row.freedrive);
    bench_.cycle();
    EXPECT_EQ(bench_.rig.service.indicatorState(), row.state);
    EXPECT_TRUE(JoystickBench::waitFor(
        [&] { return bench_.slave.holdingRegister(JoystickMap::kIndicatorRegister) == row.code; }));
  }
  bench_.rig.robot.setRuntimeStatus(sim::kRuntimePaused);
  bench_.cycle();
  EXPECT_EQ(bench_.rig.service.indicatorState(), 6);
  EXPECT_TRUE(JoystickBench::waitFor([&] {
    const int code = bench_.slave.holdingRegister(JoystickMap::kIndicatorRegister);
    return code == 2 || code == 0;  // either half of the blink
  }));
}

TEST_F(JoystickDataTest, ButtonsSwitchJoggingAndSpeedOnTheirRisingEdges) {
  test::ScratchFolder folder;
  bench_.rig.service.setConfigPath(folder.file("package.json"));
  bench_.slave.setInputRegister(JoystickMap::kFirmwareRegister, JoystickMap::kFirmwareWord);
  bench_.slave.setInputRegister(JoystickMap::kHardwareRegister, JoystickMap::kHardwareWord);
  bench_.powerOn();
  ASSERT_TRUE(bench_.await("get_hardware_version", JoystickMap::kHardwareWord));
  const auto press = [this](int address, const char* name) {
    bench_.setCoil(address, false, name);
    bench_.cycle();
    bench_.setCoil(address, true, name);
    bench_.cycle();
  };

  press(JoystickMap::kPowerButtonCoil, "get_button_0");
  EXPECT_TRUE(bench_.rig.service.rockerOn());
  EXPECT_EQ(logged(kLogInfo, "startup rocker"), 1);
  EXPECT_EQ(logged(kLogInfo, "rocker version: 0.3.0 firmware version: 1.1.3 hardware version: 2:2"),
            1);
  EXPECT_EQ(test::ScratchFolder::read(folder.file("package.json")),
            "{\n    \"firmware_version\": \"1.1.3\"\n}");
  EXPECT_TRUE(
      JoystickBench::waitFor([this] { return bench_.slave.coil(JoystickMap::kPowerLightCoil); }));
  bench_.cycle();
  EXPECT_TRUE(bench_.rig.service.rockerOn()) << "a held button switches once";
  press(JoystickMap::kPowerButtonCoil, "get_button_0");
  EXPECT_FALSE(bench_.rig.service.rockerOn());
  EXPECT_EQ(logged(kLogInfo, "close rocker"), 1);
  EXPECT_TRUE(
      JoystickBench::waitFor([this] { return !bench_.slave.coil(JoystickMap::kPowerLightCoil); }));

  press(JoystickMap::kSpeedButtonCoil, "get_button_1");
  EXPECT_EQ(bench_.rig.service.poseSpeed(), 0.01);
  EXPECT_EQ(logged(kLogInfo, "Rocker slow mode"), 1);
  EXPECT_TRUE(
      JoystickBench::waitFor([this] { return bench_.slave.coil(JoystickMap::kSpeedLightCoil); }));
  press(JoystickMap::kSpeedButtonCoil, "get_button_1");
  EXPECT_EQ(bench_.rig.service.poseSpeed(), 0.1);
  EXPECT_EQ(logged(kLogInfo, "Rocker fast mode"), 1);
  EXPECT_TRUE(
      JoystickBench::waitFor([this] { return !bench_.slave.coil(JoystickMap::kSpeedLightCoil); }));
  EXPECT_EQ(bench_.rig.count("stopLine"), 0u) << "the robot was at rest";
}

// Every way a jog's conditions can end: the jog stops exactly once, and
// nothing starts again until the stick is pushed anew.
TEST(JoystickJogEndTest, AJogEndsOnceWhenItsConditionsEnd) {
  enum class Way {
    kStaleValues,
    kConnectionLost,
    kPowerButton,
    kErrorCycles,
    kSpeedButton,
    kModeLeft,
    kFreedrive,
    kRuntimeStatus,
    kSafetyMode,
    kImplausibleStick,
    kHostThrows
  };
  const struct {
    const char* name;
    Way way;
    const char* logged;
  } ways[] = {
      {"stick values older than input_timeout", Way::kStaleValues,
       "Rocker stop: the stick values are"},
      {"connection lost", Way::kConnectionLost, "Get rocker modbus data error!"},
      {"power button", Way::kPowerButton, "close rocker"},
      {"more than 100 error cycles in a row", Way::kErrorCycles,
       "Rocker switched off: the joystick could not be read for more than 100 cycles in a row"},
      {"speed button", Way::kSpeedButton, "Rocker slow mode"},
      {"robot leaves mode 8", Way::kModeLeft, "Rocker modbus siganl remove finish"},
      {"freedrive", Way::kFreedrive, "Rocker stop"},
      {"runtime status leaves 6", Way::kRuntimeStatus, "Rocker stop"},
      {"safety mode leaves 1", Way::kSafetyMode, "Rocker stop"},
      {"stick beyond stick_limit", Way::kImplausibleStick,
       "Rocker implausible stick value: get_x is 32767, beyond stick_limit 2000"},
      {"a host query throws every cycle", Way::kHostThrows,
       "Rocker host call failed: simulated host failure in getStatus"},
  };
  // One joystick for every way: each ends with a fresh jog for the next.
  JoystickBench bench;
  bench.powerOn();
  bench.switchOn();
  bench.jogAt(300);
  auto& robot = bench.rig.robot;
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    const std::size_t stops = bench.rig.count("stopLine");
    const std::size_t starts = bench.rig.count("speedLine");
    const int stop_logs = bench.rig.log.count(kLogInfo, "Rocker stop");
    const int logged = bench.rig.log.countContaining(way.logged);
    const int causes = bench.rig.log.countContaining("Rocker stop cause: ");
    ASSERT_TRUE(bench.rig.service.moving());
    // A growth the decision would take for a fresh push if it saw it twice.
    bench.setStickX(320);
    bench.cycle();
    ASSERT_FALSE(robot.steady());
    switch (way.way) {
      case Way::kStaleValues:
        // Wide enough that a slow machine still sees the first failed read
        // inside it.
        setInputTimeout(bench, 0.6);
        bench.slave.answerAllWithException(4);
        ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.failing(); }));
        bench.cycle();
        EXPECT_EQ(bench.rig.count("stopLine"), stops) << "one failed read is no reason yet";
        // The last values read are at least a poll period old.
        setInputTimeout(bench, 0.001);
        break;
      case Way::kConnectionLost:
        bench.slave.dropClients();
        ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.lost(); }));
        break;
      case Way::kPowerButton:
        bench.setCoil(JoystickMap::kPowerButtonCoil, true, "get_button_0");
        break;
      case Way::kErrorCycles:
        // Light on as a power press leaves it, so that switching off has to clear it.
        bench.rig.registry->modbusSetOutputSignal("set_button_light_1", 1);
        ASSERT_TRUE(
            JoystickBench::waitFor([&] { return bench.slave.coil(JoystickMap::kPowerLightCoil); }));
        bench.slave.rejectAddress(JoystickMap::kPowerButtonCoil, 4,
                                  1);  // the coils only: the stick stays readable
        ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.failing(); }));
        for (int i = 0; i < 100; ++i) bench.cycle();
        EXPECT_EQ(bench.rig.count("stopLine"), stops);
        break;
      case Way::kSpeedButton:
        bench.setCoil(JoystickMap::kSpeedButtonCoil, true, "get_button_1");
        break;
      case Way::kModeLeft:
        robot.setRobotModeType(5);
        break;
      case Way::kFreedrive:
        robot.setFreedriveEnabled(true);
        break;
      case Way::kRuntimeStatus:
        robot.setRuntimeStatus(sim::kRuntimePaused);
        break;
      case Way::kSafetyMode:
        robot.setSafetyModeType(2);
        break;
      case Way::kImplausibleStick:
        bench.setStickX(32767);  // a railed axis
        break;
      case Way::kHostThrows:
        robot.failCall("getStatus", -1);
        break;
    }
    bench.cycle();
    EXPECT_EQ(bench.rig.count("stopLine"), stops + 1) << "one stop";
    EXPECT_EQ(bench.rig.log.count(kLogInfo, "Rocker stop"), stop_logs + 1);
    EXPECT_EQ(bench.rig.log.countContaining("Rocker stop cause: "), causes + 1);
    EXPECT_GT(bench.rig.log.countContaining(way.logged), logged);
    EXPECT_FALSE(bench.rig.service.moving());
    for (int i = 0; i < 3; ++i) bench.cycle();
    EXPECT_EQ(bench.rig.count("stopLine"), stops + 1) << "and never a second one";

    // Conditions back, the stick still pushed: nothing starts again, not
    // even on a nudge, until the stick has been centred.
    const int held_back = bench.rig.log.countContaining("Rocker start held back");
    setInputTimeout(bench, RockerSettings().input_timeout);
    bench.slave.clearFaults();
    robot.failCall("getStatus", 0);
    robot.setRobotModeType(sim::kRobotModeRunning);
    robot.setFreedriveEnabled(false);
    robot.setRuntimeStatus(sim::kRuntimeIdle);
    robot.setSafetyModeType(1);
    bench.powerOn();
    bench.setStickX(320);
    bench.setCoil(JoystickMap::kPowerButtonCoil, false, "get_button_0");
    bench.setCoil(JoystickMap::kSpeedButtonCoil, false, "get_button_1");
    if (way.way == Way::kErrorCycles) {
      EXPECT_TRUE(JoystickBench::waitFor([&] {
        return !bench.slave.coil(JoystickMap::kPowerLightCoil);
      })) << "the power light says jogging is off";
    }
    bench.switchOn();
    for (int i = 0; i < 3; ++i) bench.cycle();
    for (int x : {340, 340}) {
      bench.setStickX(x);
      bench.cycle();
    }
    EXPECT_EQ(bench.rig.count("speedLine"), starts);
    EXPECT_GT(bench.rig.log.countContaining("Rocker start held back"), held_back);
    // A fresh push from the centre does.
    for (int x : {0, 290, 300}) {
      bench.setStickX(x);
      bench.cycle();
    }
    EXPECT_EQ(bench.rig.count("speedLine"), starts + 1);
  }
}

// A jog counts as ended only once stopLine has returned; nothing the host
// throws leaves the service.
TEST(JoystickJogEndTest, AStopTheHostThrowsOnIsSentAgainUntilItReturns) {
  JoystickBench bench;
  bench.powerOn();
  bench.switchOn();
  bench.jogAt(300);
  bench.rig.robot.failCall("stopLine", 2);
  bench.setStickX(200);  // released
  bench.cycle();
  EXPECT_EQ(bench.rig.log.count(kLogError,
                                "Rocker host call failed: simulated host failure in "
                                "stopLine"),
            1);
  bench.setStickX(220);
  bench.cycle();  // throws again
  EXPECT_EQ(bench.rig.count("stopLine"), 0u);
  bench.cycle();
  EXPECT_EQ(bench.rig.count("stopLine"), 1u) << "sent again until it went out";
  bench.setStickX(240);
  bench.cycle();
  EXPECT_EQ(bench.rig.count("stopLine"), 1u);
  EXPECT_EQ(bench.rig.count("speedLine"), 1u) << "no start on a stick held through the stop";

  for (int x : {0, 290, 300}) {
    bench.setStickX(x);
    bench.cycle();
  }
  ASSERT_EQ(bench.rig.count("speedLine"), 2u);
  bench.rig.robot.failCall("stopLine", -1);
  EXPECT_NO_THROW(bench.rig.service.haltJog());
  EXPECT_EQ(bench.rig.log.countContaining("Rocker stop failed at shutdown: simulated host failure"),
            1);
  bench.rig.robot.failCall("stopLine", 0);
  bench.rig.service.haltJog();
  EXPECT_EQ(bench.rig.count("stopLine"), 2u) << "tried once more, and it went out";
}

// The decision starts only on values the joystick delivered, from a stick
// seen centred since it was registered, switched on or read again.
TEST(JoystickJogStartTest, NoStartOnUndeliveredValuesOrAStickAlreadyDeflected) {
  enum class Event {
    kReadErrorWhileArmed,
    kRegistered,
    kSwitchedOn,
    kReadErrorEnded,
    kPushDuringGlitch
  };
  const struct {
    const char* name;
    Event event;
  } events[] = {{"read error after arming", Event::kReadErrorWhileArmed},
                {"registered with the stick deflected", Event::kRegistered},
                {"switched on with the stick deflected", Event::kSwitchedOn},
                {"read error ends with the stick deflected", Event::kReadErrorEnded},
                {"push while the buttons are unread for a moment", Event::kPushDuringGlitch}};
  for (const auto& event : events) {
    SCOPED_TRACE(event.name);
    JoystickBench bench;
    const auto failThenRecover = [&bench] {
      bench.slave.answerAllWithException(4);
      ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.failing(); }));
      for (int i = 0; i < 3; ++i) bench.cycle();
      EXPECT_EQ(bench.rig.count("speedLine"), 0u) << "no start while the joystick is unread";
      bench.slave.clearFaults();
      ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.healthy(); }));
    };
    switch (event.event) {
      case Event::kReadErrorWhileArmed:
        bench.powerOn();
        bench.switchOn();
        bench.setStickX(380);  // arms; not steady yet
        bench.cycle();
        failThenRecover();
        break;
      case Event::kRegistered:
        bench.slave.setInputRegister(JoystickMap::kFirstAxisRegister, 400);
        bench.powerOn();
        bench.switchOn();
        break;
      case Event::kSwitchedOn:
        bench.powerOn();
        bench.setStickX(400);
        bench.cycle();
        bench.setCoil(JoystickMap::kPowerButtonCoil, true, "get_button_0");
        bench.cycle();
        ASSERT_TRUE(bench.rig.service.rockerOn());
        break;
      case Event::kReadErrorEnded:
        bench.powerOn();
        bench.switchOn();
        bench.slave.answerAllWithException(4);
        ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.failing(); }));
        bench.cycle();
        bench.slave.setInputRegister(JoystickMap::kFirstAxisRegister,
                                     400);  // pushed while it cannot be read
        bench.cycle();
        // Unread for longer than its values count as current (input_timeout).
        setInputTimeout(bench, 0.001);
        bench.slave.clearFaults();
        ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.healthy(); }));
        bench.setStickX(400);
        bench.cycle();
        setInputTimeout(bench, RockerSettings().input_timeout);
        break;
      case Event::kPushDuringGlitch:
        bench.powerOn();
        bench.switchOn();
        bench.slave.rejectAddress(JoystickMap::kPowerButtonCoil, 4,
                                  1);  // the coils fail, the stick is read
        ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.failing(); }));
        bench.slave.setInputRegister(JoystickMap::kFirstAxisRegister, 400);
        ASSERT_TRUE(JoystickBench::waitFor(
            [&] { return bench.rig.registry->modbusGetSignalStatus("get_x") == 400; }));
        bench.cycle();
        bench.cycle();
        EXPECT_EQ(bench.rig.count("speedLine"), 0u) << "no start while a signal is in error";
        bench.slave.clearFaults();
        ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.healthy(); }));
        bench.cycle();
        EXPECT_EQ(bench.rig.count("speedLine"), 1u) << "the push is seen once all is read";
        continue;
    }
    for (int x : {400, 420, 430}) {
      bench.setStickX(x);
      bench.cycle();
    }
    // A push seen whole after the error is a push; one made unseen is not.
    const bool deliberate = event.event == Event::kReadErrorWhileArmed;
    EXPECT_EQ(bench.rig.count("speedLine"), deliberate ? 1u : 0u);
    EXPECT_EQ(bench.rig.log.countContaining("Rocker start held back"), deliberate ? 0 : 1);
    if (deliberate) continue;
    for (int x : {0, 290, 300}) {
      bench.setStickX(x);
      bench.cycle();
    }
    EXPECT_EQ(bench.rig.count("speedLine"), 1u);
  }
}

TEST(JoystickJogStartTest, ErrorCyclesCountOnlyInARow) {
  JoystickBench bench;
  bench.powerOn();
  bench.switchOn();
  bench.slave.rejectAddress(JoystickMap::kPowerButtonCoil, 4, 1);
  ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.failing(); }));
  for (int i = 0; i < 100; ++i) bench.cycle();
  bench.slave.clearFaults();
  ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.healthy(); }));
  bench.cycle();
  bench.slave.rejectAddress(JoystickMap::kPowerButtonCoil, 4, 1);
  ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.failing(); }));
  for (int i = 0; i < 100; ++i) bench.cycle();
  EXPECT_TRUE(bench.rig.service.rockerOn()) << "two runs of 100, not 200 in a row";
  bench.cycle();
  EXPECT_FALSE(bench.rig.service.rockerOn());
}

// A version word read in error would record 0.0.0 over the real version.
TEST(JoystickJogStartTest, FirmwareVersionIsRecordedFromACleanReadOnly) {
  test::ScratchFolder folder;
  JoystickBench bench;
  bench.rig.service.setConfigPath(folder.file("package.json"));
  bench.slave.setInputRegister(JoystickMap::kFirmwareRegister, JoystickMap::kFirmwareWord);
  bench.slave.rejectAddress(JoystickMap::kFirmwareRegister, 2,
                            4);  // the input registers fail as a batch
  bench.cycle();
  // The coils are read; the power button is pressed while the version is not.
  bench.slave.setCoil(JoystickMap::kPowerButtonCoil, true);
  ASSERT_TRUE(JoystickBench::waitFor([&] {
    const auto errors = bench.rig.registry->modbusGetSignalErrors();
    return errors.size() == 16 && errors[0] == 0 &&
           bench.rig.registry->modbusGetSignalStatus("get_button_0") == 1;
  }));
  bench.cycle();
  bench.cycle();
  ASSERT_TRUE(bench.rig.service.rockerOn());
  EXPECT_FALSE(std::filesystem::exists(folder.file("package.json")));

  bench.slave.clearFaults();
  ASSERT_TRUE(bench.await("get_firmware_version", JoystickMap::kFirmwareWord));
  bench.cycle();
  EXPECT_EQ(test::ScratchFolder::read(folder.file("package.json")),
            "{\n    \"firmware_version\": \"1.1.3\"\n}");
}

}  // namespace
}  // namespace velk::zorv_comm
