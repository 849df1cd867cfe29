#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "host_rig/log_sink.h"
#include "robot_sim/recorded_call.h"
#include "rocker-sim/scenario/scenario.h"

namespace velk::rocker_sim {

// What happened during a run, each entry stamped with seconds since the
// extension was started (the run clock, SimClock).

using LogEntry = host_rig::LogSink::Entry;

using joystick_sim::JoystickLights;

struct LightSample {
  double t = 0.0;
  JoystickLights lights;
};

struct PathSample {
  double t = 0.0;
  std::vector<double> pose;  // x, y, z (m), rx, ry, rz (rad)
  double speed = 0.0;        // linear speed of the tool point, m/s
};

struct StickSample {
  double t = 0.0;
  StickAxes axes{};
};

struct FaultRecord {
  FaultStart fault;
  double start = 0.0;
  double end = kForever;  // kForever while it lasts
};

struct RobotEvent {
  double t = 0.0;
  std::string description;
  bool halts = false;  // the change stops the tool at once (a safety stop's brakes)
};

struct StepRecord {
  double at = 0.0;  // script time
  double t = 0.0;   // run time it was applied
  int line = 0;
  std::string description;
};

struct WaitRecord {
  WaitCondition condition = WaitCondition::kReady;
  double start = 0.0;
  double end = 0.0;
  bool timed_out = false;
};

struct RobotCall {
  double t = 0.0;
  sim::RecordedCall call;
};

struct RunRecord {
  bool simulated_joystick = false;  // stick and lights are known
  std::vector<LogEntry> log;
  std::size_t log_dropped = 0;
  std::vector<LightSample> lights;
  std::vector<PathSample> path;
  std::vector<StickSample> sticks;
  std::vector<FaultRecord> faults;
  std::vector<RobotEvent> robot_events;
  std::vector<StepRecord> steps;
  std::vector<WaitRecord> waits;
  std::vector<RobotCall> robot_calls;  // the commands, in full
  std::size_t robot_calls_dropped = 0;
  std::map<std::string, std::size_t> robot_queries;  // by name: they come every cycle
  std::vector<std::string> start_options;            // the text of each start(), in order
  double end = 0.0;
};

}  // namespace velk::rocker_sim
