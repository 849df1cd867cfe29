#pragma once

#include <cstdint>
#include <ctime>

#include "common/log_callback.h"
#include "rocker/rocker_service/change_detector.h"
#include "rocker/rocker_service/rocker_clock.h"
#include "rocker/rocker_service/stick_checks.h"

namespace velk::zorv_comm {

// Why a jog ended. The first four are the operator's release as the
// decision sees it; the rest end a jog from outside the decision.
enum class JogStopCause {
  kNone,
  kFastDrop,         // a linear axis dropped by more than 50 in one read
  kSlowRelease,      // three drops above 15
  kCentred,          // all six axes back inside +-9
  kSignReversed,     // x flipped sign
  kSwitchedOff,      // jogging switched off, by the button or after read errors
  kSpeedChanged,     // the speed button was pressed
  kGateClosed,       // freedrive, runtime status or safety mode
  kStaleInput,       // the stick values grew older than input_timeout
  kConnectionLost,   // the joystick's connection was declared lost
  kJoystickRemoved,  // the robot left the mode the joystick is powered in
  kNoData,           // the registry gave no usable snapshot
  kShutdown,         // the extension stopped or the service went away
};

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
  static constexpr std::size_t kSignalCount = 16;
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
  // active, and its stop command is then due. Disarms in any case.
  bool endJog();
  void disarm() { armed_ = false; }

  bool moving() const { return moving_; }
  bool armed() const { return armed_; }
  int reversalCount() const { return reversal_count_; }

 private:
  bool releaseSeen(const JogFrame& frame, JogStopCause& cause);
  bool immediateStopSeen(const JogFrame& frame);
  void countDrop(const JogFrame& frame);
  bool stopCountSeen(const JogFrame& frame, JogStopCause& cause);
  bool signReversalSeen(const JogFrame& frame);
  bool detectPush(const JogFrame& frame);
  void checkStart(const JogFrame& frame);
  void requestStop();
  static int growth(const JogFrame& frame, const char* axis);
  static int drop(const JogFrame& frame, const char* axis);
  static int magnitude(const JogFrame& frame, const char* axis);
  static bool anyLinearAxisAbove(const JogFrame& frame,
                                 int (*measure)(const JogFrame&, const char*), int threshold);

  LogCallback log_;
  RockerClock clock_;
  bool moving_ = false;
  bool armed_ = false;
  int reversal_count_ = 0;
  ChangeDetector motion_request_;
  const char* sign_watch_axis_;
  timespec stop_time_{};
  timespec start_time_{};
};

}  // namespace velk::zorv_comm
