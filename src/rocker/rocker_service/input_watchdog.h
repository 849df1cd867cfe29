#pragma once

#include <chrono>
#include <functional>

#include "common/log_callback.h"
#include "rocker/rocker_service/rocker_settings.h"
#include "rocker/rocker_service/stick_checks.h"
#include "rocker/rocker_service/stick_sample.h"

namespace velk::zorv_comm {

// Whether the joystick's values can be trusted to drive the robot: how old
// the stick values are against input_timeout, how many cycles in a row
// could not be read, and whether the stick has been seen centred since an
// event that could hide a push (registration, switching on, a long read
// error). It keeps its own lines: the old-values warnings and the start
// hold-back.
class InputWatchdog {
 public:
  using Clock = StickSample::Clock;
  using Now = std::function<Clock::time_point()>;

  // After this many cycles in a row with a read error jogging is switched off.
  static constexpr int kReadErrorLimit = 100;

  InputWatchdog(LogCallback log, Now now);

  // 0 switches the age check off.
  void setInputTimeout(double seconds) { input_timeout_s_ = seconds; }
  double inputTimeout() const { return input_timeout_s_; }

  // A stick value of a larger magnitude is implausible (a railed or broken
  // axis, a misread register).
  void setStickLimit(int limit) { stick_limit_ = limit; }
  // Whether every stick axis lies within stick_limit; the first cycle that
  // finds one beyond it says which, once until all are plausible again.
  bool plausible(const StickChecks::ValueMap& values);

  // Counts this cycle into the run of error cycles; true when the run has
  // just passed the limit (the count starts again).
  bool countErrorCycle(bool read_error);

  // All six stick values read, none older than input_timeout.
  bool young(const StickSample& sample) const;
  // An active jog is stopped because its values are too old.
  void reportStaleStop(const StickSample& sample);
  // Values read without error but too old to start on: said once, until
  // they are young again.
  void reportOldValues(bool young, const StickSample& sample);

  void readErrorBegan() { read_error_since_ = now_(); }
  // Whether the read error that just ended lasted longer than input_timeout
  // (always, with the check switched off).
  bool readErrorOutlastedInputTimeout() const;

  // From now on a jog may start only after the stick has been read centred:
  // a stick held deflected across the event would otherwise look like a
  // fresh push.
  void requireCentre();
  // Notes a cycle's values: fresh ones read after the requirement that show
  // the stick centred meet it.
  void observe(bool fresh, const StickSample& sample, bool centred);
  bool centreSeen() const { return centre_seen_; }
  // A push came before the centre: said once per requirement.
  void holdBackStart();

 private:
  long long ageInMs(const StickSample& sample) const;

  LogCallback log_;
  Now now_;
  double input_timeout_s_ = RockerSettings().input_timeout;
  int error_cycles_ = 0;
  bool old_values_reported_ = false;
  Clock::time_point read_error_since_;
  bool centre_seen_ = false;
  // Only values read after this moment can show the stick centred.
  Clock::time_point centre_required_since_;
  bool hold_back_logged_ = false;
  int stick_limit_ = RockerSettings().stick_limit;
  bool implausible_reported_ = false;
};

}  // namespace velk::zorv_comm
