#include "rocker/rocker_service/jog_decision.h"

#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

namespace {

using Table = RockerSignalTable;

int signedValue(const StickChecks::ValueMap& values, const char* axis) {
  return StickChecks::valueOf(values, axis);
}

// "get_y" -> "y".
const char* shortName(const char* axis) { return axis + 4; }

std::string reversalText(const char* axis, int previous, int current) {
  return std::string(shortName(axis)) + " went from " + std::to_string(previous) + " to " +
         std::to_string(current);
}

}  // namespace

JogDecision::JogDecision(LogCallback log, RockerClock clock)
    : log_(std::move(log)), clock_(std::move(clock)), sign_watch_axis_(Table::kX) {
  stop_time_ = clock_.now();
  start_time_ = clock_.now();
}

JogVerdict JogDecision::decide(const JogFrame& frame) {
  JogVerdict verdict;
  const bool stop_wanted = moving_ && releaseSeen(frame, verdict);
  // Values the joystick did not deliver this cycle, or too old, neither arm
  // nor start: a stale copy of the last reading looks perfectly steady.
  if (frame.fresh) {
    verdict.push_held_back = detectPush(frame);
    checkStart(frame);
  } else {
    armed_ = false;
  }
  motion_request_.update(motion_request_.value);
  if (!motion_request_.changed)
    return JogVerdict{
        JogVerdict::Action::kNothing, JogStopCause::kNone, {}, verdict.push_held_back};
  verdict.action = stop_wanted ? JogVerdict::Action::kStop : JogVerdict::Action::kStart;
  return verdict;
}

// The stop tests in order of precedence: the first that fires logs its
// line and decides the cause.
bool JogDecision::releaseSeen(const JogFrame& frame, JogVerdict& verdict) {
  if (!following_ && anyWatchedAxisAbove(frame, &JogDecision::drop, kReleaseThreshold)) {
    if (immediateStopSeen(frame, verdict)) return true;
    countDrop(frame);
  }
  return stopCountSeen(frame, verdict) || signReversalSeen(frame, verdict) ||
         linearReversalSeen(frame, verdict) || nearCentreSeen(frame, verdict);
}

bool JogDecision::immediateStopSeen(const JogFrame& frame, JogVerdict& verdict) {
  const char* axis = firstWatchedAxisAbove(frame, &JogDecision::drop, kImmediateStopThreshold);
  if (axis == nullptr) return false;
  VELK_LOG(log_, kLogInfo) << "摇杆反方向变化大于" << kImmediateStopThreshold << " 直接停止"
                           << " get_x " << StickChecks::magnitudeOf(frame.previous, Table::kX)
                           << " :" << StickChecks::magnitudeOf(frame.current, Table::kX)
                           << " get_y: " << StickChecks::magnitudeOf(frame.previous, Table::kY)
                           << " :" << StickChecks::magnitudeOf(frame.current, Table::kY)
                           << " get_z: " << StickChecks::magnitudeOf(frame.previous, Table::kZ)
                           << " :" << StickChecks::magnitudeOf(frame.current, Table::kZ);
  stop(verdict, JogStopCause::kFastDrop,
       std::string(shortName(axis)) + " dropped " + std::to_string(drop(frame, axis)) +
           " in one read");
  return true;
}

void JogDecision::countDrop(const JogFrame& frame) {
  ++reversal_count_;
  VELK_LOG(log_, kLogInfo) << "摇杆反方向开始变化停止计数:" << reversal_count_ << "   "
                           << " get_x " << signedValue(frame.previous, Table::kX) << " :"
                           << signedValue(frame.current, Table::kX)
                           << " get_y: " << signedValue(frame.previous, Table::kY) << " :"
                           << signedValue(frame.current, Table::kY)
                           << " get_z: " << signedValue(frame.previous, Table::kZ) << " :"
                           << signedValue(frame.current, Table::kZ);
}

bool JogDecision::stopCountSeen(const JogFrame& frame, JogVerdict& verdict) {
  const bool counted_out = reversal_count_ > kStopCountLimit;
  if (!counted_out && !StickChecks::centred(frame.current, kCentreAxes, kCentreLimit)) {
    return false;
  }
  VELK_LOG(log_, kLogInfo) << "停止计数:" << reversal_count_ << " 检测停止";
  if (counted_out) {
    stop(verdict, JogStopCause::kSlowRelease,
         std::to_string(reversal_count_) + " drops above " + std::to_string(kReleaseThreshold));
  } else {
    stop(verdict, JogStopCause::kCentred,
         "all six axes within " + std::to_string(kCentreLimit - 1) + " of 0");
  }
  return true;
}

bool JogDecision::signReversalSeen(const JogFrame& frame, JogVerdict& verdict) {
  const int current = signedValue(frame.current, sign_watch_axis_);
  const int previous = signedValue(frame.previous, sign_watch_axis_);
  if (!((current > 0 && previous < 0) || (current < 0 && previous > 0))) return false;
  stop(verdict, JogStopCause::kSignReversed, reversalText(sign_watch_axis_, previous, current));
  VELK_LOG(log_, kLogInfo) << "符号变反检测停止" << current << " : " << previous;
  return true;
}

// An axis flipped from beyond the near-centre limit on one side to beyond
// it on the other.
bool JogDecision::linearReversalSeen(const JogFrame& frame, JogVerdict& verdict) {
  // y and z, and with six axes watched rx, ry and rz; x has its own test.
  for (std::size_t i = 1; i < watched_axes_; ++i) {
    const char* axis = Table::axes()[i];
    const int current = signedValue(frame.current, axis);
    const int previous = signedValue(frame.previous, axis);
    const bool flipped = (current > kNearCentreLimit && previous < -kNearCentreLimit) ||
                         (current < -kNearCentreLimit && previous > kNearCentreLimit);
    if (!flipped) continue;
    VELK_LOG(log_, kLogInfo) << "符号变反检测停止 " << axis << " " << current << " : " << previous;
    stop(verdict, JogStopCause::kSignReversed, reversalText(axis, previous, current));
    return true;
  }
  return false;
}

// A release that comes to rest just off the centre: no drop above 15 and
// not every axis inside +-9, yet no watched axis is deflected any more.
bool JogDecision::nearCentreSeen(const JogFrame& frame, JogVerdict& verdict) {
  if (anyWatchedAxisAbove(frame, &JogDecision::magnitude, kNearCentreLimit)) return false;
  VELK_LOG(log_, kLogInfo) << "摇杆回到中心附近检测停止"
                           << " get_x " << StickChecks::magnitudeOf(frame.current, Table::kX)
                           << " get_y: " << StickChecks::magnitudeOf(frame.current, Table::kY)
                           << " get_z: " << StickChecks::magnitudeOf(frame.current, Table::kZ);
  stop(verdict, JogStopCause::kNearCentre,
       std::string(watched_axes_ == 6 ? "all six axes" : "x, y and z") + " within " +
           std::to_string(kNearCentreLimit) + " of 0");
  return true;
}

void JogDecision::stop(JogVerdict& verdict, JogStopCause cause, std::string detail) {
  verdict.cause = cause;
  verdict.detail = std::move(detail);
  requestStop();
}

// True when a push was seen that may not arm yet.
bool JogDecision::detectPush(const JogFrame& frame) {
  if (moving_ || armed_ || !anyWatchedAxisAbove(frame, &JogDecision::growth, kPushThreshold)) {
    return false;
  }
  if (!frame.centre_seen) return true;
  armed_ = true;
  return false;
}

void JogDecision::checkStart(const JogFrame& frame) {
  if (!armed_ || moving_) return;
  if (!anyWatchedAxisAbove(frame, &JogDecision::magnitude, kDeflectionThreshold)) return;
  if (!StickChecks::steady(frame.current, frame.previous, Table::kCount, kSteadinessLimit, log_)) {
    return;
  }
  VELK_LOG(log_, kLogDebug) << "摇杆加速参数变化值:"
                            << " get_x " << signedValue(frame.current, Table::kX) << " : "
                            << signedValue(frame.previous, Table::kX)
                            << " get_y: " << signedValue(frame.current, Table::kY) << " : "
                            << signedValue(frame.previous, Table::kY)
                            << " get_z: " << signedValue(frame.current, Table::kZ) << " : "
                            << signedValue(frame.previous, Table::kZ);
  armed_ = false;
  motion_request_.value = true;
}

bool JogDecision::anyWatchedAxisAbove(const JogFrame& frame,
                                      int (*measure)(const JogFrame&, const char*),
                                      int threshold) const {
  return firstWatchedAxisAbove(frame, measure, threshold) != nullptr;
}

const char* JogDecision::firstWatchedAxisAbove(const JogFrame& frame,
                                               int (*measure)(const JogFrame&, const char*),
                                               int threshold) const {
  for (std::size_t i = 0; i < watched_axes_; ++i) {
    const char* axis = Table::axes()[i];
    if (measure(frame, axis) > threshold) return axis;
  }
  return nullptr;
}

int JogDecision::growth(const JogFrame& frame, const char* axis) {
  return StickChecks::magnitudeOf(frame.current, axis) -
         StickChecks::magnitudeOf(frame.push_reference, axis);
}

int JogDecision::drop(const JogFrame& frame, const char* axis) {
  return StickChecks::magnitudeOf(frame.previous, axis) -
         StickChecks::magnitudeOf(frame.current, axis);
}

int JogDecision::magnitude(const JogFrame& frame, const char* axis) {
  return StickChecks::magnitudeOf(frame.current, axis);
}

void JogDecision::requestStop() {
  reversal_count_ = 0;
  motion_request_.value = false;
}

void JogDecision::beginJog() {
  moving_ = true;
  start_time_ = clock_.now();
  const int64_t pause = RockerClock::millisecondsBetween(stop_time_, start_time_);
  VELK_LOG(log_, kLogInfo) << "time passed is: " << pause << "ms";
  if (pause < kMinimumPauseMs) {
    VELK_LOG(log_, kLogWarning) << "距离上一组运动时间间隔:" << pause
                                << "ms,为了避免运动切换过快机械臂异响,强制增加100ms时长再开启运动.";
    clock_.sleep(kStartDelayUs);
  }
}

void JogDecision::finishJog() {
  VELK_LOG(log_, kLogInfo) << "Rocker stop";
  moving_ = false;
  stop_time_ = clock_.now();
}

bool JogDecision::endJog() {
  armed_ = false;
  if (!moving_) return false;
  reversal_count_ = 0;
  // Consumes the request's falling edge here, so the next decision does not
  // read it as a change and start.
  motion_request_.update(false);
  moving_ = false;
  return true;
}

}  // namespace velk::zorv_comm
