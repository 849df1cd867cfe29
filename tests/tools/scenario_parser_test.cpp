// Scenario files: what a well-formed one turns into, and how a wrong one
// is reported (file, line, what is wrong).
#include "rocker-sim/scenario/scenario_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "rocker-sim/command_line/input_error.h"

namespace {

using velk::rocker_sim::Button;
using velk::rocker_sim::FaultKind;
using velk::rocker_sim::InputError;
using velk::rocker_sim::Scenario;
using velk::rocker_sim::ScenarioParser;
using velk::rocker_sim::StickAxes;
using velk::rocker_sim::WaitCondition;

Scenario parse(const std::string& text) { return ScenarioParser::parseText(text, "test.toml"); }

// The message of the InputError that parsing `text` throws.
std::string refusal(const std::string& text) {
  try {
    parse(text);
  } catch (const InputError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(ScenarioParser, ReadsEveryKindOfStepAndEndsAfterTheLastHoldRampOrFault) {
  const Scenario s = parse(R"(
[scenario]
name = "all"
[options]
rotation = 0.5
tool_x = -1
[[step]]
at = 0
robot = { mode_type = 7, freedrive = true, tool_pose = [0.4, 0, 0.3, 0, 0, 1] }
[[step]]
at = 1
stick = { x = 500, rz = -20 }
ramp = 0.5
[[step]]
at = 2
press = "speed"
hold = 0.4
wait = "jogging_on"
timeout = 3
[[step]]
at = 2.5
fault = "exception"
address = 257
code = 4
duration = 1.5
restart = { rotation = 1.0 }
)");
  EXPECT_EQ(s.name, "all");
  EXPECT_EQ(s.options.at("tool_x").as_integer(), -1);
  ASSERT_EQ(s.steps.size(), 4u);
  EXPECT_EQ(*s.steps[0].robot->mode_type, 7);
  EXPECT_TRUE(*s.steps[0].robot->freedrive);
  EXPECT_EQ(s.steps[0].robot->tool_pose->size(), 6u);
  EXPECT_EQ(s.steps[1].stick->axes, (StickAxes{500, 0, 0, 0, 0, -20}));
  EXPECT_EQ(s.steps[1].stick->ramp, 0.5);
  EXPECT_EQ(s.steps[2].press->button, Button::kSpeed);
  EXPECT_EQ(s.steps[2].wait->condition, WaitCondition::kJoggingOn);
  EXPECT_EQ(s.steps[2].wait->timeout, 3.0);
  EXPECT_EQ(s.steps[3].fault->kind, FaultKind::kException);
  EXPECT_EQ(s.steps[3].fault->address, 257);
  EXPECT_EQ(s.steps[3].fault->code, 4);
  EXPECT_EQ(s.steps[3].restart->at("rotation").as_floating(), 1.0);
  EXPECT_EQ(s.steps[3].line, 20);            // its [[step]] header
  EXPECT_DOUBLE_EQ(s.end, 2.5 + 1.5 + 1.0);  // the fault's end and a second to see it through
}

TEST(ScenarioParser, StickCentreAndRestartWithoutChangesAreAccepted) {
  const Scenario s = parse("[[step]]\nat = 1\nstick = \"centre\"\nrestart = true\n");
  EXPECT_EQ(s.steps[0].stick->axes, StickAxes{});
  EXPECT_TRUE(s.steps[0].restart->as_table().empty());
}

TEST(ScenarioParser, PointsAtTheLineOfWhatIsWrong) {
  struct Case {
    const char* text;
    const char* line;
    const char* words;
  };
  const Case cases[] = {
      {"[[step]]\nat = 1\nstik = { x = 1 }\n", " 3 |", "unknown key \"stik\""},
      {"[[step]]\nat = 1\nhold = 0.3\n", " 3 |", "hold needs press"},
      {"[[step]]\nat = 1\nstick = { x = 40000 }\n", " 3 |", "-32768 .. 32767"},
      {"[[step]]\nat = 1\nstick = { x = 1.5 }\n", " 3 |", "whole number"},
      {"[[step]]\nat = 1\npress = \"reset\"\n", " 3 |", "no button"},
      {"[[step]]\nat = 1\nwait = \"forever\"\n", " 3 |", "unknown wait condition"},
      {"[[step]]\nat = 1\nfault = \"drop\"\ncode = 3\n", " 4 |",
       "only belongs to fault = \"exception\""},
      {"[[step]]\nat = -1\nnote = \"x\"\n", " 2 |", "\"at\" must be"},
      {"[[step]]\nnote = \"x\"\n", " 1 |", "no \"at\""},
      {"[[step]]\nat = 1\n", " 1 |", "does nothing"},
      {"[options]\ncycle = 1\n", " 2 |", "must be a float"},
      {"[options]\nrotaton = 1.0\n", " 2 |", "unknown start option"},
      {"[options]\ndevice_info = \"x\"\n", " 2 |", "cannot set device_info"},
      {"[scenario]\nduration = 1.0\n[[step]]\nat = 2\nnote = \"x\"\n", " 2 |",
       "before its last step"},
      {"[[step]]\nat = 1\nstick = [\n", " 3 |", "array"},
      // Text the TOML parser cannot take safely is refused before it, with
      // the file and the line all the same.
      {"[[step]]\nat = 1\nnote = '\xff'\n", "line 3", "not UTF-8"},
      {"[[step]]\nat = 1\nnote = \"x\"\nx = "
       "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["
       "\n",
       "line 4", "nested deeper"},
  };
  for (const Case& c : cases) {
    const std::string message = refusal(c.text);
    EXPECT_NE(message.find("test.toml"), std::string::npos) << c.text << "\n" << message;
    EXPECT_NE(message.find(c.line), std::string::npos) << c.text << "\n" << message;
    EXPECT_NE(message.find(c.words), std::string::npos) << c.text << "\n" << message;
  }
}

TEST(ScenarioParser, TheShippedTourIsValid) {
  const Scenario tour = ScenarioParser::parseFile(ROCKER_SIM_TOUR);
  EXPECT_EQ(tour.name, "tour");
  EXPECT_LT(tour.end, 30.0);
}

}  // namespace
