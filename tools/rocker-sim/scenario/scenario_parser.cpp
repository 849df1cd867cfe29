#include "rocker-sim/scenario/scenario_parser.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <toml.hpp>

#include "rocker-sim/command_line/input_error.h"
#include "rocker-sim/command_line/start_option_keys.h"
#include "rocker-sim/command_line/toml_input.h"
#include "rocker-sim/scenario/scenario_text.h"

namespace velk::rocker_sim {

namespace {

// Longest time any one value may name; keeps a typo from parking a run.
constexpr double kLongest = 3600.0;
constexpr double kEndMargin = 1.0;

[[noreturn]] void fail(const toml::value& where, const std::string& what, const std::string& here,
                       std::vector<std::string> hints = {}) {
  throw InputError(toml::format_error("[error] " + what, where, here, std::move(hints)));
}

std::string typeName(const toml::value& value) {
  const std::string name = StartOptionKeys::typeName(value.type());
  return (name[0] == 'i' || name[0] == 'a' ? "an " : "a ") + name;
}

void allowOnly(const toml::value& table, std::initializer_list<const char*> keys,
               const std::string& where) {
  for (const auto& [key, value] : table.as_table()) {
    if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
    std::string allowed;
    for (const char* k : keys) allowed += (allowed.empty() ? "" : ", ") + std::string(k);
    fail(value, "unknown key \"" + key + "\" in " + where, "not expected here",
         {"allowed: " + allowed});
  }
}

const toml::value& requireTable(const toml::value& value, const std::string& what) {
  if (!value.is_table()) fail(value, what + " must be a table", "this is " + typeName(value));
  return value;
}

double number(const toml::value& value, const std::string& what) {
  if (value.is_floating()) return value.as_floating();
  if (value.is_integer()) return static_cast<double>(value.as_integer());
  fail(value, what + " must be a number", "this is " + typeName(value));
}

double seconds(const toml::value& value, const std::string& key, bool zero_allowed) {
  const std::string what = "\"" + key + "\"";
  const double s = number(value, what);
  const bool low = zero_allowed ? s < 0.0 : s <= 0.0;
  if (!std::isfinite(s) || low || s > kLongest) {
    fail(value,
         what + " must be " + (zero_allowed ? "0" : "above 0") + " to " +
             std::to_string(static_cast<int>(kLongest)) + " seconds",
         "out of range");
  }
  return s;
}

int integer(const toml::value& value, const std::string& what, long long low, long long high) {
  if (!value.is_integer())
    fail(value, what + " must be a whole number", "this is " + typeName(value));
  const auto n = value.as_integer();
  if (n < low || n > high) {
    fail(value, what + " must lie in " + std::to_string(low) + " .. " + std::to_string(high),
         "out of range");
  }
  return static_cast<int>(n);
}

std::string text(const toml::value& value, const std::string& what) {
  if (!value.is_string()) fail(value, what + " must be a string", "this is " + typeName(value));
  return value.as_string().str;
}

StickAxes readStickTable(const toml::value& table) {
  StickAxes axes{};
  for (const auto& [key, value] : table.as_table()) {
    const int index = ScenarioText::axisIndex(key);
    if (index < 0) {
      fail(value, "unknown stick axis \"" + key + "\"", "not an axis",
           {"axes: x, y, z, rx, ry, rz"});
    }
    axes[static_cast<std::size_t>(index)] = integer(value, "stick axis " + key, -32768, 32767);
  }
  return axes;
}

StickChange readStick(const toml::value& step) {
  const toml::value& value = step.at("stick");
  StickChange change;
  if (value.is_string()) {
    const std::string word = value.as_string().str;
    if (word != "centre" && word != "center") {
      fail(value, "stick must be a table of axes or \"centre\"", "unknown word");
    }
  } else {
    change.axes = readStickTable(requireTable(value, "stick"));
  }
  if (step.contains("ramp")) change.ramp = seconds(step.at("ramp"), "ramp", true);
  return change;
}

ButtonPress readPress(const toml::value& step) {
  const toml::value& value = step.at("press");
  const auto button = ScenarioText::buttonNamed(text(value, "press"));
  if (!button) fail(value, "press names no button", "unknown button", {"buttons: power, speed"});
  ButtonPress press;
  press.button = *button;
  if (step.contains("hold")) press.hold = seconds(step.at("hold"), "hold", false);
  return press;
}

std::vector<double> readPose(const toml::value& value) {
  if (!value.is_array() || value.as_array().size() != 6) {
    fail(value, "tool_pose must be an array of six numbers", "not six numbers",
         {"x, y, z in metres, then rx, ry, rz in radians"});
  }
  std::vector<double> pose;
  for (const auto& element : value.as_array()) pose.push_back(number(element, "tool_pose value"));
  return pose;
}

RobotChange readRobot(const toml::value& step) {
  const toml::value& table = requireTable(step.at("robot"), "robot");
  allowOnly(table, {"mode_type", "safety_mode_type", "runtime_status", "freedrive", "tool_pose"},
            "robot");
  constexpr long long kLow = -2147483648LL, kHigh = 2147483647LL;
  const auto readCode = [&table](const char* key, std::optional<int>& into) {
    if (table.contains(key)) into = integer(table.at(key), key, kLow, kHigh);
  };
  RobotChange change;
  readCode("mode_type", change.mode_type);
  readCode("safety_mode_type", change.safety_mode_type);
  readCode("runtime_status", change.runtime_status);
  if (table.contains("freedrive")) {
    const toml::value& value = table.at("freedrive");
    if (!value.is_boolean())
      fail(value, "freedrive must be true or false", "this is " + typeName(value));
    change.freedrive = value.as_boolean();
  }
  if (table.contains("tool_pose")) change.tool_pose = readPose(table.at("tool_pose"));
  return change;
}

FaultStart readFault(const toml::value& step) {
  const toml::value& value = step.at("fault");
  const auto kind = ScenarioText::faultNamed(text(value, "fault"));
  if (!kind) fail(value, "unknown fault", "unknown word", {"faults: drop, silence, exception"});
  FaultStart fault;
  fault.kind = *kind;
  if (step.contains("duration")) fault.duration = seconds(step.at("duration"), "duration", false);
  for (const char* key : {"address", "code"}) {
    if (step.contains(key) && fault.kind != FaultKind::kException) {
      fail(step.at(key), std::string(key) + " only belongs to fault = \"exception\"", "not used");
    }
  }
  if (step.contains("address")) fault.address = integer(step.at("address"), "address", 0, 1023);
  if (step.contains("code")) fault.code = integer(step.at("code"), "code", 1, 11);
  return fault;
}

WaitFor readWait(const toml::value& step) {
  const toml::value& value = step.at("wait");
  const auto condition = ScenarioText::waitNamed(text(value, "wait"));
  if (!condition) {
    fail(value, "unknown wait condition", "unknown word",
         {"conditions: ready, jogging_on, jogging_off, moving, still"});
  }
  WaitFor wait;
  wait.condition = *condition;
  if (step.contains("timeout")) wait.timeout = seconds(step.at("timeout"), "timeout", false);
  return wait;
}

toml::value readRestart(const toml::value& step) {
  const toml::value& value = step.at("restart");
  if (value.is_boolean() && value.as_boolean()) return toml::table{};
  if (!value.is_table()) {
    fail(value, "restart must be true or a table of start options", "this is " + typeName(value));
  }
  StartOptionKeys::requireValid(value);
  return value;
}

void requireCompanions(const toml::value& step) {
  static const std::pair<const char*, const char*> kCompanions[] = {
      {"ramp", "stick"},    {"hold", "press"}, {"duration", "fault"},
      {"address", "fault"}, {"code", "fault"}, {"timeout", "wait"},
  };
  for (const auto& [key, owner] : kCompanions) {
    if (step.contains(key) && !step.contains(owner)) {
      fail(step.at(key), std::string(key) + " needs " + owner + " in the same step", "alone here");
    }
  }
}

void readActions(const toml::value& table, ScenarioStep& step) {
  if (table.contains("note")) step.note = text(table.at("note"), "note");
  if (table.contains("robot")) step.robot = readRobot(table);
  if (table.contains("restart")) step.restart = readRestart(table);
  if (table.contains("stick")) step.stick = readStick(table);
  if (table.contains("press")) step.press = readPress(table);
  if (table.contains("fault")) step.fault = readFault(table);
  if (table.contains("wait")) step.wait = readWait(table);
}

ScenarioStep readStep(const toml::value& value) {
  const toml::value& table = requireTable(value, "a step");
  allowOnly(table,
            {"at", "note", "stick", "ramp", "press", "hold", "robot", "fault", "duration",
             "address", "code", "wait", "timeout", "restart"},
            "a step");
  if (!table.contains("at"))
    fail(table, "the step has no \"at\" time", "this step", {"e.g. at = 1.5"});
  requireCompanions(table);
  ScenarioStep step;
  step.line = static_cast<int>(table.location().line());
  step.at = seconds(table.at("at"), "at", true);
  readActions(table, step);
  if (table.as_table().size() == 1) {
    fail(table, "the step does nothing", "this step",
         {"give it stick, press, robot, fault, wait, restart or note"});
  }
  return step;
}

// How far past its start a step reaches: the end of a hold, a ramp or a
// timed fault.
double reach(const ScenarioStep& step) {
  double extent = 0.0;
  if (step.press) extent = std::max(extent, step.press->hold);
  if (step.stick) extent = std::max(extent, step.stick->ramp);
  if (step.fault && std::isfinite(step.fault->duration))
    extent = std::max(extent, step.fault->duration);
  return step.at + extent;
}

std::vector<ScenarioStep> readSteps(const toml::value& root) {
  std::vector<ScenarioStep> steps;
  if (!root.contains("step")) return steps;
  const toml::value& list = root.at("step");
  if (!list.is_array())
    fail(list, "step must be an array of tables ([[step]])", "this is " + typeName(list));
  for (const auto& value : list.as_array()) {
    steps.push_back(readStep(value));
    if (steps.size() > 1 && steps.back().at < steps[steps.size() - 2].at) {
      fail(value.at("at"), "steps must come in time order", "earlier than the step before",
           {"the step before is at " + ScenarioText::seconds(steps[steps.size() - 2].at)});
    }
  }
  return steps;
}

void readHeader(const toml::value& root, Scenario& scenario) {
  if (!root.contains("scenario")) return;
  const toml::value& header = requireTable(root.at("scenario"), "[scenario]");
  allowOnly(header, {"name", "description", "duration"}, "[scenario]");
  if (header.contains("name")) scenario.name = text(header.at("name"), "name");
  if (header.contains("description")) {
    scenario.description = text(header.at("description"), "description");
  }
}

double readEnd(const toml::value& root, const std::vector<ScenarioStep>& steps) {
  double last = 0.0;
  for (const auto& step : steps) last = std::max(last, reach(step));
  if (!root.contains("scenario") || !root.at("scenario").contains("duration"))
    return last + kEndMargin;
  const toml::value& value = root.at("scenario").at("duration");
  const double end = seconds(value, "duration", false);
  if (!steps.empty() && end < steps.back().at) {
    fail(value, "duration ends the run before its last step", "too short",
         {"the last step is at " + ScenarioText::seconds(steps.back().at)});
  }
  return end;
}

}  // namespace

Scenario ScenarioParser::parseFile(const std::string& path) {
  return parseText(TomlInput::readFile(path, "scenario"), path);
}

Scenario ScenarioParser::parseText(const std::string& text, const std::string& name) {
  return read(TomlInput::parse(text, name), name);
}

Scenario ScenarioParser::read(const toml::value& root, const std::string& path) {
  allowOnly(root, {"scenario", "options", "step"}, "the scenario file");
  Scenario scenario;
  scenario.path = path;
  readHeader(root, scenario);
  if (root.contains("options")) {
    scenario.options = requireTable(root.at("options"), "[options]");
    StartOptionKeys::requireValid(scenario.options);
  }
  scenario.steps = readSteps(root);
  scenario.end = readEnd(root, scenario.steps);
  return scenario;
}

}  // namespace velk::rocker_sim
