#include "host_backend.h"

#include <utility>

#include "pose_convention.h"
#include "robot_sim/robot_codes.h"

namespace velk::common_interface {

namespace {

using velk::sim::CallKind;

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += ',';
    text += name;
  }
  return text;
}

std::vector<double> concatenated(const std::vector<double>& first,
                                 const std::vector<double>& second) {
  std::vector<double> both = first;
  both.insert(both.end(), second.begin(), second.end());
  return both;
}

}  // namespace

std::vector<std::string> HostBackend::getRobotNames() {
  auto lock = lockUpToDate();
  faults_.throwIfArmed("getRobotNames");
  std::vector<std::string> names = model_.robotNames();
  record("getRobotNames", CallKind::kQuery, {}, {}, joined(names));
  return names;
}

void HostBackend::getRobotInterface(const std::string& name) {
  auto lock = lockUpToDate();
  faults_.throwIfArmed("getRobotInterface");
  record("getRobotInterface", CallKind::kQuery, {}, {}, name);
}

int HostBackend::getRobotModeType() {
  return query("getRobotModeType", [this] { return model_.robotModeType(); });
}

int HostBackend::getSafetyModeType() {
  return query("getSafetyModeType", [this] { return model_.safetyModeType(); });
}

bool HostBackend::isSteady() {
  return query("isSteady", [this] { return model_.steady(); });
}

std::vector<double> HostBackend::getToolPose() {
  stallIfArmed("getToolPose");
  auto lock = lockUpToDate();
  faults_.throwIfArmed("getToolPose");
  std::vector<double> pose = faults_.poseReply("getToolPose").value_or(model_.toolPose());
  record("getToolPose", CallKind::kQuery, {}, pose);
  return pose;
}

bool HostBackend::isFreedriveEnabled() {
  return query("isFreedriveEnabled", [this] { return model_.freedriveEnabled(); });
}

int HostBackend::getStatus() {
  return query("getStatus", [this] { return model_.runtimeStatus(); });
}

int HostBackend::deleteTask(int id) {
  // The simulated runner holds no tasks: deleting one always succeeds.
  return command("deleteTask", {static_cast<double>(id)}, [] { return sim::kResultOk; });
}

std::vector<double> HostBackend::poseTrans(const std::vector<double>& p1,
                                           const std::vector<double>& p2) {
  std::vector<double> composed = sim::PoseConvention::compose(p1, p2);
  auto lock = lockUpToDate();
  faults_.throwIfArmed("poseTrans");
  if (auto reply = faults_.poseReply("poseTrans")) composed = std::move(*reply);
  record("poseTrans", CallKind::kQuery, concatenated(p1, p2), composed);
  return composed;
}

int HostBackend::speedLine(const std::vector<double>& speed, double a, double t) {
  return command("speedLine", concatenated(speed, {a, t}),
                 [&] { return model_.speedLine(speed, a, t); });
}

int HostBackend::stopLine(double a, double rot_a) {
  return command("stopLine", {a, rot_a}, [&] { return model_.stopLine(a, rot_a); });
}

int HostBackend::setToolVoltageOutputDomain(int domain) {
  return command("setToolVoltageOutputDomain", {static_cast<double>(domain)},
                 [&] { return model_.setToolVoltage(domain); });
}

long long HostBackend::getControlSystemTime() {
  return query("getControlSystemTime", [this] {
    return static_cast<long long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(model_.simTime()).count());
  });
}

bool HostBackend::handleWithheld(const char* getter) {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_.handleWithheld(getter);
}

void HostBackend::stallIfArmed(const char* name) {
  std::function<void()> during;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    during = faults_.stall(name);
  }
  if (during) during();
}

void HostBackend::advance(std::chrono::nanoseconds dt) {
  auto lock = lockUpToDate();
  model_.advance(dt);
}

void HostBackend::setRealTime(bool enabled) {
  auto lock = lockUpToDate();
  real_time_ = enabled;
  last_real_time_ = SteadyClock::now();
}

bool HostBackend::realTime() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return real_time_;
}

velk::sim::CallRecord& HostBackend::callRecord() { return record_; }

std::unique_lock<std::mutex> HostBackend::lockUpToDate() {
  std::unique_lock<std::mutex> lock(mutex_);
  catchUpRealTime();
  return lock;
}

void HostBackend::catchUpRealTime() {
  if (!real_time_) return;
  const SteadyClock::time_point now = SteadyClock::now();
  model_.advance(now - last_real_time_);
  last_real_time_ = now;
}

void HostBackend::record(const char* name, velk::sim::CallKind kind, std::vector<double> args,
                         std::vector<double> result, std::string text) {
  velk::sim::RecordedCall call;
  call.name = name;
  call.kind = kind;
  call.args = std::move(args);
  call.text = std::move(text);
  call.result = std::move(result);
  call.sim_time = std::chrono::duration<double>(model_.simTime()).count();
  call.steady_time = SteadyClock::now();
  record_.add(std::move(call));
}

int HostBackend::command(const char* name, std::vector<double> args,
                         const std::function<int()>& act) {
  auto lock = lockUpToDate();
  faults_.throwIfArmed(name);
  const int result = act();
  record(name, CallKind::kCommand, std::move(args), {static_cast<double>(result)});
  return result;
}

}  // namespace velk::common_interface
