#include "rocker/rocker_service/stick_input.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

namespace {

using Table = RockerSignalTable;

// A register value as the registry reports it (widened without sign), as
// the signed 16-bit value the joystick sent.
int16_t fromRegister(int value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

bool isAxis(const std::string& name) {
  const auto& axes = Table::axes();
  return std::find(axes.begin(), axes.end(), name) != axes.end();
}

}  // namespace

StickInput::StickInput(LogCallback log, Now now)
    : log_(std::move(log)), now_(now ? std::move(now) : Now(&Clock::now)) {
  reset();
}

void StickInput::reset() {
  for (const auto& entry : Table::entries()) {
    current_[entry.name] = 0;
    previous_[entry.name] = 0;
  }
  push_reference_ = previous_;
  reads_.clear();
  requireCentre();
}

void StickInput::clear() {
  current_.clear();
  previous_.clear();
  push_reference_.clear();
  reads_.clear();
}

void StickInput::skip() {
  // The values the last cycle took are what the next push is measured
  // against, if the decision could act on them.
  if (reading_.fresh) copyValues(current_, push_reference_);
  reading_ = StickReading{};
}

const StickReading& StickInput::take(const zorv_control::SignalSnapshot& snapshot,
                                     bool jog_active) {
  skip();
  if (snapshot.names.size() != Table::kCount) {
    if (jog_active) reading_.stop = JogStopCause::kNoData;  // nothing to judge a jog by
    return reading_;
  }
  const ReadState state = readStateOf(snapshot);
  reading_.switch_off_due = countErrorCycle(state.error);
  read_error_.update(state.error);
  reading_.read_error_began = read_error_.risingEdge();
  reading_.read_error_ended = read_error_.fallingEdge();
  reading_.read_error = state.error;
  // Switching off ends a jog by itself.
  if (jog_active && !reading_.switch_off_due) reading_.stop = causeToEnd(state);
  if (reading_.read_error_began) {
    read_error_since_ = now_();
    // Without the age check the first failed read is the only sign of a
    // joystick that has gone quiet.
    if (jog_active && !reading_.stop && input_timeout_s_ <= 0) {
      reading_.stop = JogStopCause::kStaleInput;
    }
    // This cycle's values are not taken; the decision must not see the last
    // change once more as if it were new.
    copyValues(current_, previous_);
    reads_.clear();
    return reading_;
  }
  // A stick that moved while it could not be read for longer than its
  // values count as current may have been pushed unseen. A glitch shorter
  // than that is no more than a read that came late.
  if (reading_.read_error_ended && readErrorOutlastedInputTimeout() &&
      movedBeyond(snapshot, JogDecision::kSteadinessLimit)) {
    requireCentre();
  }
  store(snapshot);
  reading_.taken = true;
  reading_.stick_read_time = state.oldest_axis_read;
  const bool is_young = young(state);
  if (!state.error) reportOldValues(is_young, state);
  const bool is_plausible = plausible();
  if (!is_plausible) {
    if (jog_active && !reading_.stop) reading_.stop = JogStopCause::kImplausibleStick;
    requireCentre();
  }
  // A read on either side of values that could not be used is no
  // neighbour of the other.
  if (is_young && is_plausible) {
    reading_.new_read = reads_.add(state.oldest_axis_read, current_);
  } else {
    reads_.clear();
  }
  reading_.fresh = !state.error && is_young && is_plausible;
  if (reading_.fresh && state.oldest_axis_read > centre_required_since_ &&
      StickChecks::centred(current_, JogDecision::kCentreAxes, JogDecision::kCentreLimit)) {
    centre_seen_ = true;
  }
  reading_.firmware_read_clean = !state.error && state.firmware_read;
  return reading_;
}

StickInput::ReadState StickInput::readStateOf(const zorv_control::SignalSnapshot& snapshot) {
  ReadState state;
  const auto& errors = snapshot.errors;
  state.error = std::any_of(errors.begin(), errors.end(), [](int e) { return e != 0; });
  // A negative state: the device lost its connection (or has none), so
  // nothing it reports can be trusted.
  state.connection_lost = std::any_of(errors.begin(), errors.end(), [](int e) { return e < 0; });
  // An error state of 0 alone does not say a value was read: a signal's
  // first probe clears it before its group has been read.
  state.oldest_axis_read = Clock::time_point::max();
  int axes_seen = 0;
  for (std::size_t i = 0; i < snapshot.names.size(); ++i) {
    const Clock::time_point read =
        i < snapshot.read_times.size() ? snapshot.read_times[i] : Clock::time_point();
    if (isAxis(snapshot.names[i])) {
      ++axes_seen;
      state.oldest_axis_read = std::min(state.oldest_axis_read, read);
    }
    if (snapshot.names[i] == Table::kFirmwareVersion)
      state.firmware_read = read != Clock::time_point();
  }
  if (axes_seen != static_cast<int>(Table::axes().size())) state.oldest_axis_read = {};
  return state;
}

bool StickInput::countErrorCycle(bool read_error) {
  if (!read_error) {
    error_run_since_.reset();
    return false;
  }
  const Clock::time_point now = now_();
  if (!error_run_since_) error_run_since_ = now;
  if (now - *error_run_since_ < kReadErrorLimit) return false;
  error_run_since_ = now;
  return true;
}

std::optional<std::string> StickInput::startVoidedBy(
    const zorv_control::SignalSnapshot& later) const {
  if (later.names.size() != Table::kCount) return "the joystick's signals are gone";
  const ReadState state = readStateOf(later);
  if (state.error) return "the joystick could not be read";
  if (!young(state)) {
    return state.oldest_axis_read == Clock::time_point()
               ? std::string("the stick values are not all read")
               : "the stick values are " + std::to_string(ageInMs(state)) + " ms old";
  }
  if (movedBeyond(later, JogDecision::kSteadinessLimit)) return "the stick was released or moved";
  return std::nullopt;
}

std::optional<JogStopCause> StickInput::causeToEnd(const ReadState& state) {
  if (state.connection_lost) return JogStopCause::kConnectionLost;
  if (young(state)) return std::nullopt;
  reportStaleStop(state);
  return JogStopCause::kStaleInput;
}

// All six stick values read, none older than input_timeout.
bool StickInput::young(const ReadState& state) const {
  if (state.oldest_axis_read == Clock::time_point()) return false;
  if (input_timeout_s_ <= 0) return true;
  const std::chrono::duration<double> age = now_() - state.oldest_axis_read;
  return age.count() <= input_timeout_s_;
}

long long StickInput::ageInMs(const ReadState& state) const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(now_() - state.oldest_axis_read)
      .count();
}

void StickInput::reportStaleStop(const ReadState& state) {
  const std::string age = state.oldest_axis_read != Clock::time_point()
                              ? std::to_string(ageInMs(state)) + " ms old"
                              : "not all read yet";
  VELK_LOG(log_, kLogWarning) << "Rocker stop: the stick values are " << age
                              << ", input_timeout is " << input_timeout_s_ << " s";
  old_values_reported_ = true;
}

// Read without error and still too old: a slave or line slower than
// input_timeout allows. Said once, until they are young again.
void StickInput::reportOldValues(bool young, const ReadState& state) {
  if (young || state.oldest_axis_read == Clock::time_point()) {
    old_values_reported_ = false;
    return;
  }
  if (old_values_reported_) return;
  old_values_reported_ = true;
  VELK_LOG(log_, kLogWarning) << "Rocker joystick values are " << ageInMs(state)
                              << " ms old, input_timeout is " << input_timeout_s_
                              << " s: no jog starts on them";
}

// Always, with the age check switched off.
bool StickInput::readErrorOutlastedInputTimeout() const {
  const std::chrono::duration<double> lasted = now_() - read_error_since_;
  return input_timeout_s_ <= 0 || lasted.count() > input_timeout_s_;
}

bool StickInput::movedBeyond(const zorv_control::SignalSnapshot& snapshot, int limit) const {
  for (std::size_t i = 0; i < snapshot.names.size() && i < snapshot.values.size(); ++i) {
    if (!isAxis(snapshot.names[i])) continue;
    const int now = fromRegister(snapshot.values[i]);
    const int taken = StickChecks::valueOf(current_, snapshot.names[i].c_str());
    if (std::abs(now - taken) > limit) return true;
  }
  return false;
}

// The first cycle that finds an axis beyond stick_limit says which, once
// until all are plausible again.
bool StickInput::plausible() {
  for (const char* axis : Table::axes()) {
    if (StickChecks::magnitudeOf(current_, axis) <= stick_limit_) continue;
    if (!implausible_reported_) {
      implausible_reported_ = true;
      VELK_LOG(log_, kLogWarning) << "Rocker implausible stick value: " << axis << " is "
                                  << StickChecks::valueOf(current_, axis) << ", beyond stick_limit "
                                  << stick_limit_ << ": no jog until the stick is seen centred";
    }
    return false;
  }
  implausible_reported_ = false;
  return true;
}

void StickInput::store(const zorv_control::SignalSnapshot& snapshot) {
  for (std::size_t i = 0; i < snapshot.names.size(); ++i) {
    const std::string& name = snapshot.names[i];
    previous_[name] = current_[name];
    // The registry widens without sign; the axes are two's complement.
    current_[name] = fromRegister(snapshot.values[i]);
  }
}

void StickInput::requireCentre() {
  centre_seen_ = false;
  hold_back_logged_ = false;
  centre_required_since_ = now_();
}

void StickInput::holdBackStart() {
  if (hold_back_logged_) return;
  hold_back_logged_ = true;
  VELK_LOG(log_, kLogInfo)
      << "Rocker start held back: the stick has not been seen centred since the joystick "
         "was registered, read again or switched on; centre it first";
}

JogFrame StickInput::frame() const {
  return JogFrame{current_,     previous_, push_reference_,  reading_.fresh,
                  centre_seen_, reads_,    reading_.new_read};
}

// Both maps hold the same names in every cycle but the first: the values
// are copied node by node, so no name is built again. A plain assignment
// would allocate each name longer than a string's inline buffer.
void StickInput::copyValues(const ValueMap& from, ValueMap& to) {
  const bool same_names =
      from.size() == to.size() &&
      std::equal(from.begin(), from.end(), to.begin(),
                 [](const auto& a, const auto& b) { return a.first == b.first; });
  if (!same_names) {
    to = from;
    return;
  }
  auto target = to.begin();
  for (const auto& entry : from) (target++)->second = entry.second;
}

}  // namespace velk::zorv_comm
