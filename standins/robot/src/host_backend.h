#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "call_record.h"
#include "host_faults.h"
#include "robot_model.h"

namespace velk::common_interface {

// What stands behind every handle of the host robot API: one simulated robot
// (RobotModel) under one mutex, the simulated clock, and the record of the
// calls made through the handles.
//
// The operations named after the handles' member functions are the ones the
// handles forward to; each is recorded. The simulator side (inspect, advance,
// the clock mode) is not recorded: it is the test or host driving the robot,
// not the bundle calling it.
//
// Time: the robot moves only when time passes. With the clock manual (the
// default) that is advance(); in real-time mode every operation first moves
// the robot on by the steady-clock time elapsed since the previous one, so
// the robot is always seen where it would be now, without a thread of its own.
class HostBackend {
 public:
  using SteadyClock = std::chrono::steady_clock;

  std::vector<std::string> getRobotNames();
  // Records which robot the caller asked for; the simulated robot is the only
  // one, whatever the name.
  void getRobotInterface(const std::string& name);
  int getRobotModeType();
  int getSafetyModeType();
  bool isSteady();
  std::vector<double> getToolPose();
  bool isFreedriveEnabled();
  int getStatus();
  int deleteTask(int id);
  std::vector<double> poseTrans(const std::vector<double>& p1, const std::vector<double>& p2);
  int speedLine(const std::vector<double>& speed, double a, double t);
  int stopLine(double a, double rot_a);
  int setToolVoltageOutputDomain(int domain);
  long long getControlSystemTime();

  // Runs action(RobotModel&) under the lock, the robot brought up to date
  // first, and returns its result. The action must not call back into this
  // backend.
  template <typename Action>
  auto inspect(Action&& action) {
    std::lock_guard<std::mutex> lock(mutex_);
    catchUpRealTime();
    return action(model_);
  }
  // Runs arm(HostFaults&) under the lock: failures on demand.
  template <typename Arm>
  void armFaults(Arm&& arm) {
    std::lock_guard<std::mutex> lock(mutex_);
    arm(faults_);
  }
  bool handleWithheld(const char* getter);
  // Moves simulated time on by dt (also in real-time mode, on top of the
  // time that passes by itself).
  void advance(std::chrono::nanoseconds dt);
  void setRealTime(bool enabled);
  bool realTime() const;
  velk::sim::CallRecord& callRecord();

 private:
  // Locks the robot and brings it up to date with the steady clock.
  std::unique_lock<std::mutex> lockUpToDate();
  // Caller holds mutex_.
  void catchUpRealTime();
  // Runs the call's stall, if any, without the lock: it may move the robot.
  void stallIfArmed(const char* name);
  // Caller holds mutex_, so that the record's order is the order in which the
  // robot saw the calls.
  void record(const char* name, velk::sim::CallKind kind, std::vector<double> args,
              std::vector<double> result, std::string text = {});
  // One plain query of the model: locked, failed when armed, recorded.
  template <typename Read>
  auto query(const char* name, Read read) {
    auto lock = lockUpToDate();
    faults_.throwIfArmed(name);
    const auto value = read();
    record(name, velk::sim::CallKind::kQuery, {}, {static_cast<double>(value)});
    return value;
  }
  // One command to the model, the same way, recorded with its result.
  int command(const char* name, std::vector<double> args, const std::function<int()>& act);

  mutable std::mutex mutex_;
  velk::sim::RobotModel model_;
  bool real_time_ = false;
  SteadyClock::time_point last_real_time_;
  velk::sim::CallRecord record_;
  velk::sim::HostFaults faults_;
};

}  // namespace velk::common_interface
