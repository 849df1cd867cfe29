#include "rocker-sim/scenario/scenario_text.h"

#include <cmath>
#include <sstream>

namespace velk::rocker_sim {

namespace {

const char* const kButtonNames[] = {"power", "speed"};
const char* const kFaultNames[] = {"drop", "silence", "exception"};
const char* const kWaitNames[] = {"ready", "jogging_on", "jogging_off", "moving", "still"};

template <typename Enum, std::size_t N>
std::optional<Enum> lookUp(const char* const (&names)[N], const std::string& name) {
  for (std::size_t i = 0; i < N; ++i) {
    if (name == names[i]) return static_cast<Enum>(i);
  }
  return std::nullopt;
}

}  // namespace

const char* const ScenarioText::kAxisNames[6] = {"x", "y", "z", "rx", "ry", "rz"};

std::string ScenarioText::buttonName(Button button) {
  return kButtonNames[static_cast<int>(button)];
}

std::optional<Button> ScenarioText::buttonNamed(const std::string& name) {
  return lookUp<Button>(kButtonNames, name);
}

std::string ScenarioText::faultName(FaultKind kind) { return kFaultNames[static_cast<int>(kind)]; }

std::optional<FaultKind> ScenarioText::faultNamed(const std::string& name) {
  return lookUp<FaultKind>(kFaultNames, name);
}

std::string ScenarioText::waitName(WaitCondition condition) {
  return kWaitNames[static_cast<int>(condition)];
}

std::optional<WaitCondition> ScenarioText::waitNamed(const std::string& name) {
  return lookUp<WaitCondition>(kWaitNames, name);
}

int ScenarioText::axisIndex(const std::string& name) {
  const auto index = lookUp<int>(kAxisNames, name);
  return index ? *index : -1;
}

std::string ScenarioText::stick(const StickAxes& axes) {
  std::ostringstream out;
  for (std::size_t i = 0; i < axes.size(); ++i) {
    if (axes[i] == 0) continue;
    if (out.tellp() > 0) out << ' ';
    out << kAxisNames[i] << '=' << axes[i];
  }
  return out.tellp() > 0 ? out.str() : "centre";
}

std::string ScenarioText::stickList(const StickAxes& axes) {
  std::ostringstream out;
  for (std::size_t i = 0; i < axes.size(); ++i) out << (i > 0 ? "," : "") << axes[i];
  return out.str();
}

std::string ScenarioText::fault(const FaultStart& fault) {
  std::string text = faultName(fault.kind);
  if (fault.kind == FaultKind::kException) {
    text += " " + std::to_string(fault.code) + " at address " + std::to_string(fault.address);
  }
  if (std::isfinite(fault.duration)) text += " for " + seconds(fault.duration) + " s";
  return text;
}

std::string ScenarioText::seconds(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

}  // namespace velk::rocker_sim
