#include <gtest/gtest.h>

#include "common/log_level.h"
#include "rocker_service/joystick_bench.h"
#include "rocker_service/scratch_folder.h"

namespace velk::zorv_comm {
namespace {

using test::JoystickBench;

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
  EXPECT_TRUE(bench_.rig.peer.current().empty());
  EXPECT_TRUE(bench_.rig.peer.previous().empty());
  EXPECT_TRUE(bench_.rig.registry->modbusGetSignalNames().empty());
  bench_.cycle();
  EXPECT_EQ(voltages().size(), 2u);

  bench_.rig.robot.setRobotModeType(sim::kRobotModeRunning);
  bench_.cycle();
  EXPECT_EQ(voltages(), (std::vector<double>{0, 24, 0, 24}));
  EXPECT_EQ(bench_.rig.peer.current().size(), 16u);
  EXPECT_EQ(bench_.rig.registry->modbusGetSignalNames().size(), 16u);
}

TEST_F(JoystickDataTest, ReadErrorIsShownOnceAndItsEndReported) {
  bench_.slave.answerAllWithException(4);
  bench_.cycle();
  bench_.cycle();
  EXPECT_EQ(logged(kLogError, "Get rocker modbus data error!"), 1);
  EXPECT_EQ(bench_.rig.peer.indicatorState(), 1);
  bench_.cycle();
  EXPECT_EQ(logged(kLogError, "Get rocker modbus data error!"), 1);
  EXPECT_EQ(bench_.rig.peer.indicatorState(), 5) << "the robot's state shows again";

  bench_.slave.clearFaults();
  ASSERT_TRUE(JoystickBench::waitFor([this] { return bench_.healthy(); }));
  bench_.cycle();
  EXPECT_EQ(logged(kLogInfo, "Get rocker modbus data success!"), 1);
  EXPECT_TRUE(JoystickBench::waitFor([this] { return bench_.slave.holdingRegister(512) == 1; }));
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
    EXPECT_EQ(bench_.rig.peer.indicatorState(), row.state);
    EXPECT_TRUE(
        JoystickBench::waitFor([&] { return bench_.slave.holdingRegister(512) == row.code; }));
  }
  bench_.rig.robot.setRuntimeStatus(sim::kRuntimePaused);
  RockerServiceTestPeer::setPausedBlinkStep(0);
  bench_.cycle();
  EXPECT_EQ(bench_.rig.peer.indicatorState(), 6);
  EXPECT_TRUE(JoystickBench::waitFor([&] { return bench_.slave.holdingRegister(512) == 2; }));
}

TEST_F(JoystickDataTest, ButtonsSwitchJoggingAndSpeedOnTheirRisingEdges) {
  test::ScratchFolder folder;
  bench_.rig.service.setConfigPath(folder.file("package.json"));
  bench_.slave.setInputRegister(263, 0x1083);
  bench_.slave.setInputRegister(264, 0x2100);
  bench_.powerOn();
  ASSERT_TRUE(bench_.await("get_hardware_version", 0x2100));
  const auto press = [this](int address, const char* name) {
    bench_.setCoil(address, false, name);
    bench_.cycle();
    bench_.setCoil(address, true, name);
    bench_.cycle();
  };

  press(0, "get_button_0");
  EXPECT_TRUE(bench_.rig.peer.rockerOn());
  EXPECT_EQ(logged(kLogInfo, "startup rocker"), 1);
  EXPECT_EQ(logged(kLogInfo, "rocker version: 0.3.0 firmware version: 1.1.3 hardware version: 2:2"),
            1);
  EXPECT_EQ(test::ScratchFolder::read(folder.file("package.json")),
            "{\n    \"firmware_version\": \"1.1.3\"\n}");
  EXPECT_TRUE(JoystickBench::waitFor([this] { return bench_.slave.coil(16); }));
  bench_.cycle();
  EXPECT_TRUE(bench_.rig.peer.rockerOn()) << "a held button switches once";
  press(0, "get_button_0");
  EXPECT_FALSE(bench_.rig.peer.rockerOn());
  EXPECT_EQ(logged(kLogInfo, "close rocker"), 1);
  EXPECT_TRUE(JoystickBench::waitFor([this] { return !bench_.slave.coil(16); }));

  press(1, "get_button_1");
  EXPECT_EQ(bench_.rig.peer.poseSpeed(), 0.01);
  EXPECT_EQ(logged(kLogInfo, "Rocker slow mode"), 1);
  EXPECT_TRUE(JoystickBench::waitFor([this] { return bench_.slave.coil(17); }));
  press(1, "get_button_1");
  EXPECT_EQ(bench_.rig.peer.poseSpeed(), 0.1);
  EXPECT_EQ(logged(kLogInfo, "Rocker fast mode"), 1);
  EXPECT_TRUE(JoystickBench::waitFor([this] { return !bench_.slave.coil(17); }));
  EXPECT_EQ(bench_.rig.count("stopLine"), 0u) << "the robot was at rest";
}

TEST(JoystickJogEndTest, AJogEndsWhenTheJoystickIsLostOrSwitchedOff) {
  enum class Way { kReadError, kPowerButton, kErrorCount };
  const struct {
    const char* name;
    Way way;
  } ways[] = {{"read error begins", Way::kReadError},
              {"power button", Way::kPowerButton},
              {"too many error cycles", Way::kErrorCount}};
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    JoystickBench bench;
    bench.powerOn();
    bench.rig.peer.setRockerOn(true);
    bench.rig.peer.setReadErrorCount(way.way == Way::kErrorCount ? 100 : 0);
    bench.jogAt(500);
    // A growth the decision would take for a fresh push if it saw it twice.
    bench.setStickX(520);
    bench.cycle();
    ASSERT_FALSE(bench.rig.robot.steady());
    if (way.way == Way::kPowerButton) {
      bench.setCoil(0, true, "get_button_0");
    } else {
      bench.slave.answerAllWithException(4);
      ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.failing(); }));
    }
    bench.cycle();
    EXPECT_EQ(bench.rig.count("stopLine"), 1u) << "one stop, not two";
    EXPECT_EQ(bench.rig.log.count(kLogInfo, "Rocker stop"), 1);
    EXPECT_FALSE(bench.rig.peer.moving());
    EXPECT_EQ(bench.rig.peer.rockerOn(), way.way == Way::kReadError);

    // The stick is still pushed: without a new push nothing starts again.
    bench.slave.clearFaults();
    ASSERT_TRUE(JoystickBench::waitFor([&] { return bench.healthy(); }));
    bench.rig.peer.setRockerOn(true);
    for (int i = 0; i < 3; ++i) bench.cycle();
    EXPECT_EQ(bench.rig.count("speedLine"), 1u);
    EXPECT_EQ(bench.rig.count("stopLine"), 1u);
    // A fresh push does.
    for (int x : {0, 290, 300}) {
      bench.setStickX(x);
      bench.cycle();
    }
    EXPECT_EQ(bench.rig.count("speedLine"), 2u);
  }
}

}  // namespace
}  // namespace velk::zorv_comm
