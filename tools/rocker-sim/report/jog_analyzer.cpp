#include "rocker-sim/report/jog_analyzer.h"

#include <exception>

#include "bundle_activator/start_options.h"

namespace velk::rocker_sim {

namespace {

constexpr std::size_t kSpeedSize = 6;

}  // namespace

JogAnalyzer::JogAnalyzer(const RunRecord& record)
    : record_(record), causes_(record), following_(following(record)) {}

// As the last start() was given it; a text the extension could not read
// started nothing that follows.
bool JogAnalyzer::following(const RunRecord& record) {
  if (record.start_options.empty()) return false;
  try {
    return zorv_comm::StartOptions::parse(record.start_options.back()).jog_follow;
  } catch (const std::exception&) {
    return false;
  }
}

bool JogAnalyzer::isOpen(const std::vector<Jog>& jogs) {
  return !jogs.empty() && !jogs.back().stop && jogs.back().cause == StopCause::kUnknown;
}

std::vector<Jog> JogAnalyzer::jogs() const {
  std::vector<Jog> jogs;
  std::size_t event = 0;
  const auto& events = record_.robot_events;
  auto haltsUpTo = [&](double t) {
    for (; event < events.size() && events[event].t <= t; ++event) {
      if (events[event].halts && isOpen(jogs))
        close(jogs.back(), events[event].t, StopCause::kRobotHalted);
    }
  };
  for (const RobotCall& call : record_.robot_calls) {
    haltsUpTo(call.t);
    handleCall(call, jogs);
  }
  haltsUpTo(kForever);
  if (isOpen(jogs)) jogs.back().cause = StopCause::kStillMoving;
  placeOnPath(jogs);
  return jogs;
}

void JogAnalyzer::handleCall(const RobotCall& call, std::vector<Jog>& jogs) const {
  if (call.call.name == "speedLine") {
    if (following_ && isOpen(jogs)) {
      jogs.back().changes.push_back(changed(call));
      return;
    }
    if (isOpen(jogs)) close(jogs.back(), call.t, StopCause::kReplaced);
    jogs.push_back(opened(call, static_cast<int>(jogs.size()) + 1));
  } else if (call.call.name == "stopLine" && isOpen(jogs)) {
    close(jogs.back(), call.t, causes_.find(jogs.back().start, call.t));
  }
}

Jog JogAnalyzer::opened(const RobotCall& call, int number) const {
  Jog jog;
  jog.number = number;
  jog.start = call.t;
  jog.stick = stickAt(call.t);
  const auto& args = call.call.args;
  jog.speed.assign(args.begin(),
                   args.begin() + static_cast<long>(std::min(args.size(), kSpeedSize)));
  if (args.size() > kSpeedSize) jog.acceleration = args[kSpeedSize];
  if (args.size() > kSpeedSize + 1) jog.time_bound = args[kSpeedSize + 1];
  jog.accepted = call.call.result.empty() || call.call.result.front() == 0.0;
  return jog;
}

SpeedChange JogAnalyzer::changed(const RobotCall& call) const {
  const Jog command = opened(call, 0);
  return SpeedChange{call.t, command.stick, command.speed, command.accepted, poseAt(call.t)};
}

void JogAnalyzer::close(Jog& jog, double t, StopCause cause) const {
  jog.stop = t;
  jog.cause = cause;
  jog.fault = causes_.faultAt(t);
}

void JogAnalyzer::placeOnPath(std::vector<Jog>& jogs) const {
  for (std::size_t i = 0; i < jogs.size(); ++i) {
    const double limit = i + 1 < jogs.size() ? jogs[i + 1].start : record_.end;
    jogs[i].start_pose = poseAt(jogs[i].start);
    jogs[i].end_pose = restingPoseAfter(jogs[i].stop.value_or(record_.end), limit);
  }
}

std::optional<StickAxes> JogAnalyzer::stickAt(double t) const {
  if (!record_.simulated_joystick) return std::nullopt;
  StickAxes stick{};
  for (const StickSample& sample : record_.sticks) {
    if (sample.t > t) break;
    stick = sample.axes;
  }
  return stick;
}

std::vector<double> JogAnalyzer::poseAt(double t) const {
  std::vector<double> pose;
  for (const PathSample& sample : record_.path) {
    if (!pose.empty() && sample.t > t) break;
    pose = sample.pose;
  }
  return pose;
}

std::vector<double> JogAnalyzer::restingPoseAfter(double t, double limit) const {
  std::vector<double> pose;
  for (const PathSample& sample : record_.path) {
    if (sample.t > limit && !pose.empty()) break;
    pose = sample.pose;
    if (sample.t >= t && sample.speed == 0.0) break;
  }
  return pose;
}

}  // namespace velk::rocker_sim
