#include "rocker/rocker_service/jog_decision.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

namespace {

using Table = RockerSignalTable;

const char* axisName(std::size_t axis) { return Table::axes()[axis]; }
// "get_y" -> "y".
const char* shortName(std::size_t axis) { return axisName(axis) + 4; }

// "one read", "5 reads": how far apart two reads are.
std::string readsText(const StickReads::Read& from, const StickReads::Read& to) {
  const auto reads = to.serial - from.serial;
  return reads == 1 ? "one read" : std::to_string(reads) + " reads";
}

std::string reversalText(std::size_t axis, int previous, int current) {
  return std::string(shortName(axis)) + " went from " + std::to_string(previous) + " to " +
         std::to_string(current);
}

}  // namespace

JogDecision::JogDecision(LogCallback log, RockerClock clock)
    : log_(std::move(log)), clock_(std::move(clock)), sign_watch_axis_(Table::kX) {
  stop_time_ = clock_.now();
  start_time_ = clock_.now();
}

void JogDecision::configure(const RockerSettings& settings) {
  watched_axes_ = settings.jogAxisCount();
  following_ = settings.jog_follow;
  const int reads = (settings.stick_rate + kThresholdRateHz / 2) / kThresholdRateHz;
  span_ =
      static_cast<std::size_t>(std::clamp(reads, 1, static_cast<int>(StickReads::kCapacity) - 1));
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
// line and decides the cause. A drop is judged once per read: the cycles in
// between show the same read again.
bool JogDecision::releaseSeen(const JogFrame& frame, JogVerdict& verdict) {
  if (!following_ && frame.new_read && dropSeen(frame, verdict)) return true;
  return stopCountSeen(frame, verdict) || reversalSeen(frame, verdict) ||
         nearCentreSeen(frame, verdict) || startAxesCentredSeen(frame, verdict);
}

// A drop above 50 since the read about 100 ms ago stops at once; one above
// 15 since the last counted one (or that read, if later) is counted.
bool JogDecision::dropSeen(const JogFrame& frame, JogVerdict& verdict) {
  const Read* newest = frame.reads.ago(0);
  const Read* from = windowStart(frame.reads, start_read_);
  if (newest == nullptr || from == nullptr) return false;
  if (immediateStopSeen(*from, *newest, verdict)) return true;
  const Read* counted_from = windowStart(frame.reads, counted_read_);
  if (counted_from != nullptr &&
      firstWatchedAxisAbove(counted_from->axes, newest->axes, &JogDecision::drop,
                            kReleaseThreshold) >= 0) {
    countDrop(*counted_from, *newest);
  }
  return false;
}

bool JogDecision::immediateStopSeen(const Read& from, const Read& newest, JogVerdict& verdict) {
  const int axis =
      firstWatchedAxisAbove(from.axes, newest.axes, &JogDecision::drop, kImmediateStopThreshold);
  if (axis < 0) return false;
  VELK_LOG(log_, kLogInfo) << "摇杆反方向变化大于" << kImmediateStopThreshold << " 直接停止"
                           << " get_x " << std::abs(from.axes[0]) << " :"
                           << std::abs(newest.axes[0]) << " get_y: " << std::abs(from.axes[1])
                           << " :" << std::abs(newest.axes[1])
                           << " get_z: " << std::abs(from.axes[2]) << " :"
                           << std::abs(newest.axes[2]);
  const auto index = static_cast<std::size_t>(axis);
  stop(verdict, JogStopCause::kFastDrop,
       std::string(shortName(index)) + " dropped " +
           std::to_string(drop(from.axes, newest.axes, index)) + " in " + readsText(from, newest));
  return true;
}

void JogDecision::countDrop(const Read& from, const Read& newest) {
  ++reversal_count_;
  counted_read_ = newest.serial;
  VELK_LOG(log_, kLogInfo) << "摇杆反方向开始变化停止计数:" << reversal_count_ << "   "
                           << " get_x " << from.axes[0] << " :" << newest.axes[0]
                           << " get_y: " << from.axes[1] << " :" << newest.axes[1]
                           << " get_z: " << from.axes[2] << " :" << newest.axes[2];
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

// A watched axis flipped from beyond the centre band on one side to beyond
// it on the other since the read about 100 ms ago.
bool JogDecision::reversalSeen(const JogFrame& frame, JogVerdict& verdict) {
  const Read* newest = frame.reads.ago(0);
  const Read* from = windowStart(frame.reads, start_read_);
  if (newest == nullptr || from == nullptr) return false;
  for (std::size_t i = 0; i < watched_axes_; ++i) {
    const int current = newest->axes[i];
    const int previous = from->axes[i];
    const bool flipped = (current > kNearCentreLimit && previous < -kNearCentreLimit) ||
                         (current < -kNearCentreLimit && previous > kNearCentreLimit);
    if (!flipped) continue;
    if (std::string_view(axisName(i)) == sign_watch_axis_) {
      VELK_LOG(log_, kLogInfo) << "符号变反检测停止" << current << " : " << previous;
    } else {
      VELK_LOG(log_, kLogInfo) << "符号变反检测停止 " << axisName(i) << " " << current << " : "
                               << previous;
    }
    stop(verdict, JogStopCause::kSignReversed, reversalText(i, previous, current));
    return true;
  }
  return false;
}

// A release that comes to rest just off the centre: no drop above 15 and
// not every axis inside +-9, yet no watched axis is deflected any more.
bool JogDecision::nearCentreSeen(const JogFrame& frame, JogVerdict& verdict) {
  const Axes current = StickChecks::axesOf(frame.current);
  if (firstWatchedAxisAbove(current, current, &JogDecision::magnitude, kNearCentreLimit) >= 0) {
    return false;
  }
  VELK_LOG(log_, kLogInfo) << "摇杆回到中心附近检测停止"
                           << " get_x " << std::abs(current[0])
                           << " get_y: " << std::abs(current[1])
                           << " get_z: " << std::abs(current[2]);
  stop(verdict, JogStopCause::kNearCentre,
       std::string(watched_axes_ == 6 ? "all six axes" : "x, y and z") + " within " +
           std::to_string(kNearCentreLimit) + " of 0");
  return true;
}

// The stick steered off the jog's direction: the jog goes the way its
// start read pointed, so it ends once the axes that read pushed are back in
// the centre band, whatever the other axes do now.
bool JogDecision::startAxesCentredSeen(const JogFrame& frame, JogVerdict& verdict) {
  const Axes current = StickChecks::axesOf(frame.current);
  std::string centred;
  for (std::size_t i = 0; i < watched_axes_; ++i) {
    if (!start_axes_[i]) continue;
    if (std::abs(current[i]) > kNearCentreLimit) return false;
    centred += std::string(centred.empty() ? "" : ", ") + shortName(i) + " at " +
               std::to_string(current[i]);
  }
  if (centred.empty()) return false;
  stop(verdict, JogStopCause::kStartAxesCentred,
       centred + ", within " + std::to_string(kNearCentreLimit) + " of 0");
  return true;
}

void JogDecision::stop(JogVerdict& verdict, JogStopCause cause, std::string detail) {
  verdict.cause = cause;
  verdict.detail = std::move(detail);
  requestStop();
}

// True when a push was seen that may not arm yet.
bool JogDecision::detectPush(const JogFrame& frame) {
  if (moving_ || armed_ || !pushSeen(frame)) return false;
  if (!frame.centre_seen) return true;
  armed_ = true;
  return false;
}

// A watched axis grew by more than 10 since the last values the decision
// could act on, or since the read about 100 ms ago: at a faster stick rate
// a steady push grows less from one read to the next.
bool JogDecision::pushSeen(const JogFrame& frame) const {
  const Axes current = StickChecks::axesOf(frame.current);
  if (firstWatchedAxisAbove(StickChecks::axesOf(frame.push_reference), current,
                            &JogDecision::growth, kPushThreshold) >= 0) {
    return true;
  }
  const Read* from = windowStart(frame.reads, 0);
  return from != nullptr && firstWatchedAxisAbove(from->axes, frame.reads.ago(0)->axes,
                                                  &JogDecision::growth, kPushThreshold) >= 0;
}

// The newest read and the one about 100 ms before it differ by at most 30
// on every axis, and every read from that one on is deflected beyond 200:
// a knock is one read, a ramp moves more than 30.
bool JogDecision::steadyOverWindow(const StickReads& reads) const {
  if (reads.size() <= span_) return false;
  for (std::size_t n = 0; n <= span_; ++n) {
    const Axes& axes = reads.ago(n)->axes;
    if (firstWatchedAxisAbove(axes, axes, &JogDecision::magnitude, kDeflectionThreshold) < 0) {
      return false;
    }
  }
  return StickChecks::steady(reads.ago(0)->axes, reads.ago(span_)->axes, kSteadinessLimit);
}

void JogDecision::checkStart(const JogFrame& frame) {
  if (!armed_ || moving_ || !steadyOverWindow(frame.reads)) return;
  const Read& newest = *frame.reads.ago(0);
  const Read& from = *frame.reads.ago(span_);
  VELK_LOG(log_, kLogDebug) << "摇杆加速参数变化值:"
                            << " get_x " << newest.axes[0] << " : " << from.axes[0]
                            << " get_y: " << newest.axes[1] << " : " << from.axes[1]
                            << " get_z: " << newest.axes[2] << " : " << from.axes[2];
  armed_ = false;
  motion_request_.value = true;
  recordStart(newest);
}

void JogDecision::recordStart(const Read& newest) {
  start_read_ = newest.serial;
  counted_read_ = newest.serial;
  for (std::size_t i = 0; i < start_axes_.size(); ++i) {
    start_axes_[i] = i < watched_axes_ && std::abs(newest.axes[i]) > kNearCentreLimit;
  }
}

const StickReads::Read* JogDecision::windowStart(const StickReads& reads,
                                                 std::uint64_t not_before) const {
  const Read* newest = reads.ago(0);
  if (newest == nullptr || newest->serial <= not_before) return nullptr;
  const auto since = static_cast<std::size_t>(newest->serial - not_before);
  const std::size_t back = std::min({span_, since, reads.size() - 1});
  return back == 0 ? nullptr : reads.ago(back);
}

int JogDecision::firstWatchedAxisAbove(const Axes& from, const Axes& to, Measure measure,
                                       int threshold) const {
  for (std::size_t i = 0; i < watched_axes_; ++i) {
    if (measure(from, to, i) > threshold) return static_cast<int>(i);
  }
  return -1;
}

int JogDecision::growth(const Axes& from, const Axes& to, std::size_t axis) {
  return std::abs(to[axis]) - std::abs(from[axis]);
}

int JogDecision::drop(const Axes& from, const Axes& to, std::size_t axis) {
  return std::abs(from[axis]) - std::abs(to[axis]);
}

int JogDecision::magnitude(const Axes& /*from*/, const Axes& to, std::size_t axis) {
  return std::abs(to[axis]);
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
