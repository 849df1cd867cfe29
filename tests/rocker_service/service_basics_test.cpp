#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log_level.h"
#include "rocker/rocker_service/rocker_signal_table.h"
#include "rocker_service/service_rig.h"

namespace velk::zorv_comm {
namespace {

class ServiceBasicsTest : public ::testing::Test {
 protected:
  test::ServiceRig rig_;
};

TEST_F(ServiceBasicsTest, ConstructionAndSettingsAreReported) {
  const auto info = rig_.log.messages(kLogInfo);
  ASSERT_GE(info.size(), 6u);
  EXPECT_EQ(info[0], "RockerService Version:0.3.0");
  EXPECT_EQ(info[1], "RockerService startup.");
  EXPECT_EQ(info[2], "Rocker teach pose velc:0.1 origin velc:0.005 acc:1 rotation_angle:0");
  EXPECT_EQ(rig_.service.currentValues().size(), 16u);
  EXPECT_EQ(rig_.service.previousValues().size(), 16u);

  rig_.log.clear();
  rig_.service.setAxis(-1, 2, 0);
  rig_.service.setProperty(0.2, 0.02, 0.5, 2.5, 1.25);
  EXPECT_EQ(
      rig_.log.messages(kLogInfo),
      (std::vector<std::string>{
          "Rocker X -> Coordinate -X", "Rocker Y -> Coordinate Y", "Rocker Z -> Coordinate -Z",
          "Rocker teach pose velc:0.2 origin velc:0.5 acc:2.5 rotation_angle:1.25"}));
  EXPECT_EQ(rig_.service.poseSpeed(), 0.2);
}

TEST_F(ServiceBasicsTest, RegistersOutputsLastAndRemovesInTableOrder) {
  rig_.log.clear();
  rig_.service.enable();
  std::vector<std::string> added;
  for (const auto& m : rig_.log.messages(kLogInfo)) {
    const std::string prefix = "Add/Update Modbus signal {}(@{} type: {} address: {}) ";
    if (m.rfind(prefix, 0) == 0) {
      added.push_back(m.substr(prefix.size(), m.find(' ', prefix.size()) - prefix.size()));
    }
  }
  EXPECT_EQ(added, (std::vector<std::string>{
                       "get_button_0", "get_button_1", "get_button_light_1", "get_button_light_2",
                       "get_x", "get_y", "get_z", "get_rx", "get_ry", "get_rz",
                       "get_indicator_light", "get_firmware_version", "get_hardware_version",
                       "set_button_light_1", "set_button_light_2", "set_indicator_light"}));
  EXPECT_EQ(rig_.log.count(kLogInfo, "Rocker modbus siganl add finish"), 1);
  rig_.service.disable();
  rig_.service.disable();
  EXPECT_TRUE(rig_.registry->modbusGetSignalNames().empty());
  EXPECT_EQ(rig_.log.count(kLogInfo, "Rocker modbus siganl remove finish"), 2);
}

TEST_F(ServiceBasicsTest, RangeChecks) {
  RockerService::ValueMap centred = rig_.service.currentValues();
  for (const char* axis : RockerSignalTable::axes()) centred[axis] = 9;
  centred["get_ry"] = -9;
  EXPECT_TRUE(rig_.service.range(centred, 6, 10));
  EXPECT_FALSE(rig_.service.range(centred, 0, 10));
  centred["get_rz"] = -10;
  EXPECT_FALSE(rig_.service.range(centred, 6, 10));
  EXPECT_TRUE(rig_.service.range(centred, 5, 10)) << "only the first n axes are walked";

  RockerService::ValueMap moved = centred;
  moved["get_rz"] = 20;
  EXPECT_TRUE(rig_.service.range(centred, moved, 16, 30));
  EXPECT_FALSE(rig_.service.range(centred, moved, 16, 29));
  moved["get_indicator_light"] = 1000;
  EXPECT_TRUE(rig_.service.range(centred, moved, 16, 30)) << "only the axes are compared";
  moved.erase("get_button_0");
  EXPECT_FALSE(rig_.service.range(moved, centred, 16, 30));
  EXPECT_EQ(rig_.log.count(kLogDebug, "equal false:15,16,16"), 1);
}

TEST_F(ServiceBasicsTest, PausedIndicatorBlinksTwoThenZeroOverTwoHundredCycles) {
  // With nothing registered the indicator reads 0, so every write is one
  // refusal message from the registry: the writes show the pattern.
  const std::string refused = "Modbus signal({}) not exist when set output ! set_indicator_light";
  // The blink's step is shared by every service of the process: find where
  // a lit half begins, then check one whole period from there.
  std::vector<bool> written;
  for (int call = 0; call < 401; ++call) {
    const int before = rig_.log.count(kLogError, refused);
    rig_.service.setLEDStatusOnPaused();
    written.push_back(rig_.log.count(kLogError, refused) > before);
  }
  std::size_t lit = 1;
  while (lit <= 200 && !(written[lit] && !written[lit - 1])) ++lit;
  ASSERT_LE(lit, 200u);
  for (std::size_t call = lit; call < lit + 200; ++call) {
    EXPECT_EQ(written[call], call < lit + 101) << "call " << call - lit << " of the period";
  }
  EXPECT_TRUE(written[lit + 200]) << "the cycle starts again after 200 calls";
}

TEST_F(ServiceBasicsTest, WithoutARobotNothingIsCalledThroughAnEmptyHandle) {
  rig_.robot.setRobotNames({});
  EXPECT_EQ(rig_.service.getRobotInterface(), nullptr);
  rig_.service.updateRockerData();
  rig_.service.motion();
  EXPECT_TRUE(rig_.robot.commands().empty());
  EXPECT_GE(rig_.service.currentTime(), 0);
}

}  // namespace
}  // namespace velk::zorv_comm
