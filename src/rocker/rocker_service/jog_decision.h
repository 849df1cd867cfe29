#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "common/log_callback.h"
#include "rocker/rocker_service/change_detector.h"
#include "rocker/rocker_service/jog_stop_cause.h"
#include "rocker/rocker_service/rocker_clock.h"
#include "rocker/rocker_service/rocker_settings.h"
#include "rocker/rocker_service/stick_checks.h"

namespace velk::zorv_comm {

// One cycle's view of the stick, as the decision judges it.
struct JogFrame {
  const StickChecks::ValueMap& current;
  const StickChecks::ValueMap& previous;
  // What a push is measured against: the last values the decision could
  // act on (the previous ones, unless cycles in between were unread).
  const StickChecks::ValueMap& push_reference;
  // The values were read cleanly and are young enough to start a jog on.
  bool fresh;
  // The stick has been seen centred since that was last required.
  bool centre_seen;
};

struct JogVerdict {
  enum class Action { kNothing, kStart, kStop };
  Action action = Action::kNothing;
  JogStopCause cause = JogStopCause::kNone;
  // With a stop: what the stick did, e.g. "x dropped 70 in one read".
  std::string detail;
  // A push was seen but may not arm until the stick has been centred.
  bool push_held_back = false;
};

// The motion decision: from two cycles of stick values, whether a jog
// starts, goes on or stops. A jog is one speed command and one stop; this
// class keeps the state between them (moving, armed, the slow-release
// count, the motion request, when the last jog started and stopped) and
// logs the decision's own lines. The host calls are the service's.
class JogDecision {
 public:
  // Raw stick units.
  static constexpr int kPushThreshold = 10;
  static constexpr int kDeflectionThreshold = 200;
  static constexpr int kSteadinessLimit = 30;
  static constexpr int kReleaseThreshold = 15;
  static constexpr int kImmediateStopThreshold = 50;
  static constexpr int kStopCountLimit = 2;
  static constexpr std::size_t kCentreAxes = 6;
  static constexpr int kCentreLimit = 10;
  // y and z reverse, and x, y and z are near the centre, only beyond and
  // within half the deflection threshold: a real stick at rest is not
  // exactly 0, and noise about the centre of an idle axis must not stop.
  static constexpr int kNearCentreLimit = kDeflectionThreshold / 2;
  // Jogs closer together than this make the arm clatter; the next start is
  // held back by the delay.
  static constexpr int64_t kMinimumPauseMs = 200;
  static constexpr unsigned int kStartDelayUs = 100000;

  // The clock's start and stop times begin now.
  JogDecision(LogCallback log, RockerClock clock);

  JogVerdict decide(const JogFrame& frame);
  // The decision's part of a start: marks the jog and waits when it comes
  // too soon after the last one. The speed command follows.
  void beginJog();
  // The decision's part of a stop: "Rocker stop" and the stop time. The
  // stop command follows.
  void finishJog();
  // Ends an active jog from outside the decision; true when one was
  // active, and finishJog() and its stop command are then due. Disarms in
  // any case.
  bool endJog();
  void disarm() { armed_ = false; }
  // The axes the push, start and release tests watch: x, y and z (the
  // rotation axes count only for steadiness and the centre), or all six
  // when the stick turns the tool as well.
  // With jog_follow easing the stick slows a jog instead of ending it: the
  // drop and count tests do not apply, the rest do.
  void configure(const RockerSettings& settings) {
    watched_axes_ = settings.jogAxisCount();
    following_ = settings.jog_follow;
  }

  bool moving() const { return moving_; }
  bool armed() const { return armed_; }
  int reversalCount() const { return reversal_count_; }

 private:
  bool releaseSeen(const JogFrame& frame, JogVerdict& verdict);
  bool immediateStopSeen(const JogFrame& frame, JogVerdict& verdict);
  void countDrop(const JogFrame& frame);
  bool stopCountSeen(const JogFrame& frame, JogVerdict& verdict);
  bool signReversalSeen(const JogFrame& frame, JogVerdict& verdict);
  bool linearReversalSeen(const JogFrame& frame, JogVerdict& verdict);
  bool nearCentreSeen(const JogFrame& frame, JogVerdict& verdict);
  bool detectPush(const JogFrame& frame);
  void checkStart(const JogFrame& frame);
  void stop(JogVerdict& verdict, JogStopCause cause, std::string detail);
  void requestStop();
  static int growth(const JogFrame& frame, const char* axis);
  static int drop(const JogFrame& frame, const char* axis);
  static int magnitude(const JogFrame& frame, const char* axis);
  // Over the watched axes, in the order x, y, z (rx, ry, rz).
  bool anyWatchedAxisAbove(const JogFrame& frame, int (*measure)(const JogFrame&, const char*),
                           int threshold) const;
  const char* firstWatchedAxisAbove(const JogFrame& frame,
                                    int (*measure)(const JogFrame&, const char*),
                                    int threshold) const;

  LogCallback log_;
  RockerClock clock_;
  bool moving_ = false;
  bool armed_ = false;
  int reversal_count_ = 0;
  ChangeDetector motion_request_;
  const char* sign_watch_axis_;
  std::size_t watched_axes_ = 3;
  bool following_ = false;
  timespec stop_time_{};
  timespec start_time_{};
};

}  // namespace velk::zorv_comm
