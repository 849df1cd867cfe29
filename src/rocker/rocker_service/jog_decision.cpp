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

}  // namespace

JogDecision::JogDecision(LogCallback log, RockerClock clock)
    : log_(std::move(log)), clock_(std::move(clock)), sign_watch_axis_(Table::kX) {
  stop_time_ = clock_.now();
  start_time_ = clock_.now();
}

JogVerdict JogDecision::decide(const JogFrame& frame) {
  JogVerdict verdict;
  const bool stop_wanted = moving_ && releaseSeen(frame, verdict.cause);
  // Values the joystick did not deliver this cycle, or too old, neither arm
  // nor start: a stale copy of the last reading looks perfectly steady.
  if (frame.fresh) {
    verdict.push_held_back = detectPush(frame);
    checkStart(frame);
  } else {
    armed_ = false;
  }
  motion_request_.update(motion_request_.value);
  if (!motion_request_.changed) {
    verdict.cause = JogStopCause::kNone;
    return verdict;
  }
  verdict.action = stop_wanted ? JogVerdict::Action::kStop : JogVerdict::Action::kStart;
  return verdict;
}

bool JogDecision::releaseSeen(const JogFrame& frame, JogStopCause& cause) {
  if (anyLinearAxisAbove(frame, &JogDecision::drop, kReleaseThreshold)) {
    if (immediateStopSeen(frame)) {
      cause = JogStopCause::kFastDrop;
      return true;
    }
    countDrop(frame);
  }
  if (stopCountSeen(frame, cause)) return true;
  if (!signReversalSeen(frame)) return false;
  cause = JogStopCause::kSignReversed;
  return true;
}

bool JogDecision::immediateStopSeen(const JogFrame& frame) {
  if (!anyLinearAxisAbove(frame, &JogDecision::drop, kImmediateStopThreshold)) return false;
  VELK_LOG(log_, kLogInfo) << "摇杆反方向变化大于" << kImmediateStopThreshold << " 直接停止"
                           << " get_x " << StickChecks::magnitudeOf(frame.previous, Table::kX)
                           << " :" << StickChecks::magnitudeOf(frame.current, Table::kX)
                           << " get_y: " << StickChecks::magnitudeOf(frame.previous, Table::kY)
                           << " :" << StickChecks::magnitudeOf(frame.current, Table::kY)
                           << " get_z: " << StickChecks::magnitudeOf(frame.previous, Table::kZ)
                           << " :" << StickChecks::magnitudeOf(frame.current, Table::kZ);
  requestStop();
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

bool JogDecision::stopCountSeen(const JogFrame& frame, JogStopCause& cause) {
  const bool counted_out = reversal_count_ > kStopCountLimit;
  if (!counted_out && !StickChecks::centred(frame.current, kCentreAxes, kCentreLimit)) {
    return false;
  }
  VELK_LOG(log_, kLogInfo) << "停止计数:" << reversal_count_ << " 检测停止";
  cause = counted_out ? JogStopCause::kSlowRelease : JogStopCause::kCentred;
  requestStop();
  return true;
}

bool JogDecision::signReversalSeen(const JogFrame& frame) {
  const int current = signedValue(frame.current, sign_watch_axis_);
  const int previous = signedValue(frame.previous, sign_watch_axis_);
  if (!((current > 0 && previous < 0) || (current < 0 && previous > 0))) return false;
  requestStop();
  VELK_LOG(log_, kLogInfo) << "符号变反检测停止" << current << " : " << previous;
  return true;
}

// True when a push was seen that may not arm yet.
bool JogDecision::detectPush(const JogFrame& frame) {
  if (moving_ || armed_ || !anyLinearAxisAbove(frame, &JogDecision::growth, kPushThreshold)) {
    return false;
  }
  if (!frame.centre_seen) return true;
  armed_ = true;
  return false;
}

void JogDecision::checkStart(const JogFrame& frame) {
  if (!armed_ || moving_) return;
  if (!anyLinearAxisAbove(frame, &JogDecision::magnitude, kDeflectionThreshold)) return;
  if (!StickChecks::steady(frame.current, frame.previous, kSignalCount, kSteadinessLimit, log_)) {
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

bool JogDecision::anyLinearAxisAbove(const JogFrame& frame,
                                     int (*measure)(const JogFrame&, const char*), int threshold) {
  for (const char* axis : Table::linearAxes()) {
    if (measure(frame, axis) > threshold) return true;
  }
  return false;
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
  finishJog();
  return true;
}

}  // namespace velk::zorv_comm
