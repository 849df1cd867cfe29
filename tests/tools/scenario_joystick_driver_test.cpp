// The hand and the cable: stick ramps, held presses, and faults that end
// one by one, as the joystick and the run record see them.
#include "rocker-sim/run/scenario_joystick_driver.h"

#include <gtest/gtest.h>

#include "joystick_sim/simulated_joystick.h"

namespace {

using velk::joystick_sim::SimulatedJoystick;
using velk::rocker_sim::FaultKind;
using velk::rocker_sim::FaultStart;
using velk::rocker_sim::ScenarioJoystickDriver;
using velk::rocker_sim::RunRecord;
using velk::rocker_sim::StickAxes;

class ScenarioJoystickDriverTest : public ::testing::Test {
 protected:
  SimulatedJoystick joystick_{SimulatedJoystick::Transport::kTcp, std::chrono::seconds(30)};
  RunRecord record_;
  ScenarioJoystickDriver driver_{&joystick_, record_};
};

TEST_F(ScenarioJoystickDriverTest, ARampMovesTheStickInAStraightLineAndRecordsEachStep) {
  driver_.setStick({400, 0, -200, 0, 0, 0}, 1.0, 10.0);
  driver_.update(10.5);
  EXPECT_EQ(joystick_.stick(), (StickAxes{200, 0, -100, 0, 0, 0}));
  driver_.update(12.0);
  EXPECT_EQ(joystick_.stick(), (StickAxes{400, 0, -200, 0, 0, 0}));
  driver_.update(12.5);
  ASSERT_EQ(record_.sticks.size(), 2u);  // nothing new once it got there
  EXPECT_EQ(record_.sticks[0].t, 10.5);
}

TEST_F(ScenarioJoystickDriverTest, OverlappingFaultsEndOneByOne) {
  FaultStart drop;
  drop.duration = 1.0;
  FaultStart silence;
  silence.kind = FaultKind::kSilence;
  driver_.startFault(drop, 0.0);
  driver_.startFault(silence, 0.5);
  EXPECT_FALSE(joystick_.pluggedIn());
  driver_.update(1.0);
  EXPECT_TRUE(joystick_.pluggedIn());
  EXPECT_TRUE(driver_.faultActive());  // the silence goes on
  EXPECT_EQ(record_.faults[0].end, 1.0);
  driver_.clearFaults(2.0);
  EXPECT_FALSE(driver_.faultActive());
  EXPECT_EQ(record_.faults[1].end, 2.0);
}

TEST(ScenarioJoystickDriverWithoutJoystick, KeepsTheRecordButTouchesNothing) {
  RunRecord record;
  ScenarioJoystickDriver driver(nullptr, record);
  driver.setStick({500, 0, 0, 0, 0, 0}, 0.0, 1.0);
  driver.startFault(FaultStart{}, 2.0);
  driver.update(3.0);
  EXPECT_TRUE(record.sticks.empty());
  ASSERT_EQ(record.faults.size(), 1u);
  EXPECT_EQ(record.faults[0].end, 2.0);
  EXPECT_FALSE(driver.faultActive());
}

}  // namespace
