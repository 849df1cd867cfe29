#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "common/log_callback.h"
#include "rocker/rocker_service/change_detector.h"
#include "rocker/rocker_service/jog_stop_cause.h"
#include "rocker/rocker_service/rocker_clock.h"
#include "rocker/rocker_service/rocker_settings.h"
#include "rocker/rocker_service/stick_checks.h"
#include "rocker/rocker_service/stick_reads.h"

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
  // The reads behind the values: a start and a release are judged between
  // reads, not cycles.
  const StickReads& reads;
  // The newest read is new in this cycle.
  bool new_read;
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

// The motion decision: from the stick's reads and two cycles of values,
// whether a jog starts, goes on or stops. A jog is one speed command and
// one stop; this class keeps the state between them (moving, armed, the
// slow-release count, the motion request, the axes the jog started on,
// when the last jog started and stopped) and logs the decision's own
// lines. The host calls are the service's.
//
// The thresholds are made for reads 100 ms apart: the start and release
// tests compare the newest read with the one about 100 ms before it (at a
// faster stick rate, several reads back), so that a knock seen in one read
// never starts, a ramp is not taken for a steady push, and an eased
// release is seen as soon at any stick rate.
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
  // An axis reverses only from beyond this to beyond it on the other side,
  // and is back in the centre band within it: a real stick at rest is not
  // exactly 0, and noise about the centre of an idle axis must not stop.
  static constexpr int kNearCentreLimit = kDeflectionThreshold / 2;
  // What the thresholds were made for: one read per 100 ms (10 Hz).
  static constexpr int kThresholdRateHz = 10;
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
  // when the stick turns the tool as well; and how many reads make the
  // 100 ms the thresholds are judged over. With jog_follow easing the stick
  // slows a jog instead of ending it: the drop and count tests do not apply,
  // the rest do.
  void configure(const RockerSettings& settings);

  bool moving() const { return moving_; }
  bool armed() const { return armed_; }
  int reversalCount() const { return reversal_count_; }

 private:
  using Read = StickReads::Read;
  using Axes = StickChecks::Axes;
  // What a test measures on one axis, from one read (or cycle) to another.
  using Measure = int (*)(const Axes& from, const Axes& to, std::size_t axis);

  bool releaseSeen(const JogFrame& frame, JogVerdict& verdict);
  bool dropSeen(const JogFrame& frame, JogVerdict& verdict);
  bool immediateStopSeen(const Read& from, const Read& newest, JogVerdict& verdict);
  void countDrop(const Read& from, const Read& newest);
  bool stopCountSeen(const JogFrame& frame, JogVerdict& verdict);
  bool reversalSeen(const JogFrame& frame, JogVerdict& verdict);
  bool nearCentreSeen(const JogFrame& frame, JogVerdict& verdict);
  bool startAxesCentredSeen(const JogFrame& frame, JogVerdict& verdict);
  bool detectPush(const JogFrame& frame);
  bool pushSeen(const JogFrame& frame) const;
  bool steadyOverWindow(const StickReads& reads) const;
  void checkStart(const JogFrame& frame);
  void recordStart(const Read& newest);
  void stop(JogVerdict& verdict, JogStopCause cause, std::string detail);
  void requestStop();
  // The read the newest is judged against: the one span_ reads before it,
  // or a later one when the jog started or a drop was counted since.
  const Read* windowStart(const StickReads& reads, std::uint64_t not_before) const;
  static int growth(const Axes& from, const Axes& to, std::size_t axis);
  static int drop(const Axes& from, const Axes& to, std::size_t axis);
  static int magnitude(const Axes& from, const Axes& to, std::size_t axis);
  // The first watched axis, in the order x, y, z (rx, ry, rz), whose
  // measure is above the threshold; -1 when none is.
  int firstWatchedAxisAbove(const Axes& from, const Axes& to, Measure measure, int threshold) const;

  LogCallback log_;
  RockerClock clock_;
  bool moving_ = false;
  bool armed_ = false;
  int reversal_count_ = 0;
  ChangeDetector motion_request_;
  const char* sign_watch_axis_;
  std::size_t watched_axes_ = 3;
  // Reads per 100 ms at the stick rate.
  std::size_t span_ = 1;
  // The read the jog started on, and the one its last drop was counted on.
  std::uint64_t start_read_ = 0;
  std::uint64_t counted_read_ = 0;
  // The watched axes beyond the centre band when the jog started: it ends
  // once they are all back in it, wherever the others went.
  std::array<bool, 6> start_axes_{};
  bool following_ = false;
  timespec stop_time_{};
  timespec start_time_{};
};

}  // namespace velk::zorv_comm
