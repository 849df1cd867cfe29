#include "rocker-sim/report/stop_cause_finder.h"

#include <algorithm>
#include <cstdlib>

#include "rocker-sim/scenario/scenario_text.h"

namespace velk::rocker_sim {

namespace {

// The bundle's own words before a stop. The stop count message starts with
// its prefix; the message that counts a beginning release carries the same
// words after another prefix and is not a stop.
const std::string kFastRelease = "摇杆反方向变化大于";
const std::string kStopCount = "停止计数:";
const std::string kReversal = "符号变反检测停止";
const std::string kReadError = "Get rocker modbus data error!";
const std::string kJoggingOff = "close rocker";
const std::string kFastMode = "Rocker fast mode";
const std::string kSlowMode = "Rocker slow mode";
// Above this many drops in a row the count, not the centre, stopped the jog.
constexpr long kCountLimit = 2;

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

struct CauseText {
  const char* code;
  const char* text;
};

const CauseText kCauseTexts[] = {
    {"fast_release", "stick released (drop above 50)"},
    {"slow_release", "stick eased back (3 drops above 15)"},
    {"centred", "stick back in the centre"},
    {"reversal", "stick reversed (an axis changed sign)"},
    {"read_error", "joystick data lost (read error)"},
    {"jogging_off", "jogging switched off (power button)"},
    {"speed_change", "speed button pressed"},
    {"robot_halted", "robot halted (mode, safety stop or freedrive)"},
    {"replaced", "replaced by a new speed command"},
    {"still_moving", "still moving at the end of the run"},
    {"unknown", "unknown"},
};

}  // namespace

StopCauseFinder::StopCauseFinder(const RunRecord& record) : record_(record) {}

std::optional<StopCause> StopCauseFinder::causeOf(const std::string& message) {
  if (startsWith(message, kFastRelease)) return StopCause::kFastRelease;
  if (startsWith(message, kStopCount)) {
    const long count = std::strtol(message.c_str() + kStopCount.size(), nullptr, 10);
    return count > kCountLimit ? StopCause::kSlowRelease : StopCause::kCentred;
  }
  if (startsWith(message, kReversal)) return StopCause::kReversal;
  if (message == kReadError) return StopCause::kReadError;
  if (message == kJoggingOff) return StopCause::kJoggingOff;
  if (message == kFastMode || message == kSlowMode) return StopCause::kSpeedChange;
  return std::nullopt;
}

StopCause StopCauseFinder::find(double start, double stop) const {
  const double from = std::max(start, stop - kLookBack);
  std::optional<StopCause> found;
  for (const LogEntry& entry : record_.log) {
    if (entry.t < from) continue;
    if (entry.t > stop) break;
    if (const auto cause = causeOf(entry.message)) found = cause;
  }
  if (found) return *found;
  return faultAt(stop).empty() ? StopCause::kUnknown : StopCause::kReadError;
}

std::string StopCauseFinder::faultAt(double t) const {
  for (const FaultRecord& fault : record_.faults) {
    if (fault.start <= t && t <= fault.end) return ScenarioText::fault(fault.fault);
  }
  return {};
}

std::string StopCauseFinder::describe(StopCause cause) {
  return kCauseTexts[static_cast<int>(cause)].text;
}

std::string StopCauseFinder::code(StopCause cause) {
  return kCauseTexts[static_cast<int>(cause)].code;
}

}  // namespace velk::rocker_sim
