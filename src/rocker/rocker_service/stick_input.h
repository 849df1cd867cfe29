#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "common/log_callback.h"
#include "communication/modbus_wrapper/signal_snapshot.h"
#include "rocker/rocker_service/change_detector.h"
#include "rocker/rocker_service/jog_decision.h"
#include "rocker/rocker_service/jog_stop_cause.h"
#include "rocker/rocker_service/rocker_settings.h"
#include "rocker/rocker_service/stick_checks.h"
#include "rocker/rocker_service/stick_reads.h"

namespace velk::zorv_comm {

// What one cycle's snapshot says, for the service to act on.
struct StickReading {
  // The cycle's values were taken: not when the snapshot had the wrong
  // size, nor in the cycle a read error began.
  bool taken = false;
  // Taken without a read error, every stick value young and plausible: a
  // jog may start on them.
  bool fresh = false;
  // The six stick values are a read the last cycles had not seen.
  bool new_read = false;
  bool read_error_began = false;
  bool read_error_ended = false;
  // Some signal is in error this cycle (also in the cycle it began).
  bool read_error = false;
  // The joystick could not be read for kReadErrorLimit in a row: jogging
  // is to be switched off (which ends a jog by itself).
  bool switch_off_due = false;
  // Why a jog in progress must end now.
  std::optional<JogStopCause> stop;
  // The firmware version word was read from the slave, cleanly.
  bool firmware_read_clean = false;
  // When the oldest of the six stick values taken was read: a later time
  // is a new read of the stick, whether or not its values changed.
  std::chrono::steady_clock::time_point stick_read_time;
};

// Owns the trust in the joystick's input: the current, previous and
// push-reference values, the read-error edges and the run of error cycles,
// the reads of the stick, told apart by their read times, the age of the
// stick values against input_timeout, their plausibility
// against stick_limit, and whether the stick has been seen centred since an
// event that could hide a push (registration, switching on, a long read
// error, a jog that did not end by the operator's release). Each cycle it
// turns the registry's snapshot into one StickReading and never calls back
// into the service. It logs its own lines: the old-values warnings, the
// stale stop, an implausible stick and the start hold-back.
class StickInput {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;
  using ValueMap = StickChecks::ValueMap;

  // After read errors for this long in a row jogging is switched off; a
  // time, not a number of cycles, so that it holds at any period.
  static constexpr std::chrono::milliseconds kReadErrorLimit{1000};

  // `now` is the clock the registry stamps its reads with.
  StickInput(LogCallback log, Now now);

  // 0 switches the age check off.
  void setInputTimeout(double seconds) { input_timeout_s_ = seconds; }
  double inputTimeout() const { return input_timeout_s_; }
  // A stick value of a larger magnitude is implausible (a railed or broken
  // axis, a misread register).
  void setStickLimit(int limit) { stick_limit_ = limit; }

  // Every signal at 0, as before the first read; the stick must then be
  // seen centred.
  void reset();
  // No values at all, while the joystick is not registered.
  void clear();
  // One cycle's data step. `jog_active`: a jog is in progress, so a reason
  // to end it is looked for.
  const StickReading& take(const zorv_control::SignalSnapshot& snapshot, bool jog_active);
  // A cycle without a data step: nothing is fresh.
  void skip();

  // From now on a jog may start only after the stick has been read centred:
  // a stick held deflected across the event would otherwise look like a
  // fresh push.
  void requireCentre();
  // A push came before the centre: said once per requirement.
  void holdBackStart();
  // Why a start decided on the last reading no longer holds on `later`, a
  // snapshot taken just before its command goes out: a read error, values
  // older than input_timeout, or a stick that moved beyond the steadiness
  // limit (let go, most likely). Empty when the start still holds.
  std::optional<std::string> startVoidedBy(const zorv_control::SignalSnapshot& later) const;

  // The last reading and its values, as the decision judges them.
  JogFrame frame() const;
  const StickReading& reading() const { return reading_; }
  const ValueMap& current() const { return current_; }
  const ValueMap& previous() const { return previous_; }

 private:
  // What the snapshot says beyond its values.
  struct ReadState {
    bool error = false;
    bool connection_lost = false;
    // The oldest of the six stick values' read times; the epoch when one
    // of them was never read.
    Clock::time_point oldest_axis_read;
    bool firmware_read = false;
  };

  static ReadState readStateOf(const zorv_control::SignalSnapshot& snapshot);
  bool countErrorCycle(bool read_error);
  std::optional<JogStopCause> causeToEnd(const ReadState& state);
  bool young(const ReadState& state) const;
  long long ageInMs(const ReadState& state) const;
  void reportStaleStop(const ReadState& state);
  void reportOldValues(bool young, const ReadState& state);
  bool readErrorOutlastedInputTimeout() const;
  bool movedBeyond(const zorv_control::SignalSnapshot& snapshot, int limit) const;
  bool plausible();
  void store(const zorv_control::SignalSnapshot& snapshot);
  static void copyValues(const ValueMap& from, ValueMap& to);

  LogCallback log_;
  Now now_;
  double input_timeout_s_ = RockerSettings().input_timeout;
  int stick_limit_ = RockerSettings().stick_limit;
  ValueMap current_;
  ValueMap previous_;
  // The last values a fresh cycle took before this one: a push is a growth
  // from them (the previous values, unless cycles in between were not
  // fresh).
  ValueMap push_reference_;
  // The young, plausible reads since the last gap.
  StickReads reads_;
  StickReading reading_;
  ChangeDetector read_error_;
  // Since when every cycle has found a read error; empty without one.
  std::optional<Clock::time_point> error_run_since_;
  Clock::time_point read_error_since_;
  bool old_values_reported_ = false;
  bool implausible_reported_ = false;
  bool centre_seen_ = false;
  // Only values read after this moment can show the stick centred.
  Clock::time_point centre_required_since_;
  bool hold_back_logged_ = false;
};

}  // namespace velk::zorv_comm
