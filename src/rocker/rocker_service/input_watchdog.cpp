#include "rocker/rocker_service/input_watchdog.h"

#include <string>
#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

InputWatchdog::InputWatchdog(LogCallback log, Now now)
    : log_(std::move(log)), now_(now ? std::move(now) : Now(&Clock::now)) {}

bool InputWatchdog::plausible(const StickChecks::ValueMap& values) {
  for (const char* axis : RockerSignalTable::axes()) {
    if (StickChecks::magnitudeOf(values, axis) <= stick_limit_) continue;
    if (!implausible_reported_) {
      implausible_reported_ = true;
      VELK_LOG(log_, kLogWarning) << "Rocker implausible stick value: " << axis << " is "
                                  << StickChecks::valueOf(values, axis) << ", beyond stick_limit "
                                  << stick_limit_ << ": no jog until the stick is seen centred";
    }
    return false;
  }
  implausible_reported_ = false;
  return true;
}

bool InputWatchdog::countErrorCycle(bool read_error) {
  if (!read_error) {
    error_cycles_ = 0;
    return false;
  }
  if (++error_cycles_ <= kReadErrorLimit) return false;
  error_cycles_ = 0;
  return true;
}

bool InputWatchdog::young(const StickSample& sample) const {
  if (!sample.everyAxisRead()) return false;
  if (input_timeout_s_ <= 0) return true;
  const std::chrono::duration<double> age = now_() - sample.oldestAxisRead();
  return age.count() <= input_timeout_s_;
}

void InputWatchdog::reportStaleStop(const StickSample& sample) {
  const std::string age =
      sample.everyAxisRead() ? std::to_string(ageInMs(sample)) + " ms old" : "not all read yet";
  VELK_LOG(log_, kLogWarning) << "Rocker stop: the stick values are " << age
                              << ", input_timeout is " << input_timeout_s_ << " s";
  old_values_reported_ = true;
}

// Read without error and still too old: a slave or line slower than
// input_timeout allows.
void InputWatchdog::reportOldValues(bool young, const StickSample& sample) {
  if (young || !sample.everyAxisRead()) {
    old_values_reported_ = false;
    return;
  }
  if (old_values_reported_) return;
  old_values_reported_ = true;
  VELK_LOG(log_, kLogWarning) << "Rocker joystick values are " << ageInMs(sample)
                              << " ms old, input_timeout is " << input_timeout_s_
                              << " s: no jog starts on them";
}

long long InputWatchdog::ageInMs(const StickSample& sample) const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(now_() - sample.oldestAxisRead())
      .count();
}

bool InputWatchdog::readErrorOutlastedInputTimeout() const {
  const std::chrono::duration<double> lasted = now_() - read_error_since_;
  return input_timeout_s_ <= 0 || lasted.count() > input_timeout_s_;
}

void InputWatchdog::requireCentre() {
  centre_seen_ = false;
  hold_back_logged_ = false;
  centre_required_since_ = now_();
}

void InputWatchdog::observe(bool fresh, const StickSample& sample, bool centred) {
  if (fresh && centred && sample.oldestAxisRead() > centre_required_since_) centre_seen_ = true;
}

void InputWatchdog::holdBackStart() {
  if (hold_back_logged_) return;
  hold_back_logged_ = true;
  VELK_LOG(log_, kLogInfo)
      << "Rocker start held back: the stick has not been seen centred since the joystick "
         "was registered, read again or switched on; centre it first";
}

}  // namespace velk::zorv_comm
