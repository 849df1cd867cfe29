#include "rocker-sim/report/json_report.h"

#include <cmath>

#include "rocker-sim/report/stop_cause_finder.h"
#include "rocker-sim/scenario/scenario_text.h"
#include "rocker/rocker_service/indicator_code.h"

namespace velk::rocker_sim {

namespace {

using nlohmann::json;

// JSON has no infinity: a fault that never ended has a null end.
json time(double t) { return std::isfinite(t) ? json(t) : json(nullptr); }

json lights(const RunRecord& record) {
  json list = json::array();
  for (const LightSample& s : record.lights) {
    list.push_back({{"t", s.t},
                    {"power_light", s.lights.power},
                    {"speed_light", s.lights.speed},
                    {"indicator", s.lights.indicator},
                    {"meaning", zorv_comm::IndicatorCode::meaning(s.lights.indicator)}});
  }
  return list;
}

json path(const RunRecord& record) {
  json list = json::array();
  for (const PathSample& s : record.path)
    list.push_back({{"t", s.t}, {"pose", s.pose}, {"speed", s.speed}});
  return list;
}

json log(const RunRecord& record) {
  json list = json::array();
  for (const LogEntry& e : record.log) {
    list.push_back({{"t", e.t},
                    {"level", e.level},
                    {"file", e.file},
                    {"line", e.line},
                    {"message", e.message}});
  }
  return list;
}

json faults(const RunRecord& record) {
  json list = json::array();
  for (const FaultRecord& f : record.faults) {
    json fault = {{"kind", ScenarioText::faultName(f.fault.kind)},
                  {"description", ScenarioText::fault(f.fault)},
                  {"start", f.start},
                  {"end", time(f.end)}};
    if (f.fault.kind == FaultKind::kException) {
      fault["address"] = f.fault.address;
      fault["code"] = f.fault.code;
    }
    list.push_back(fault);
  }
  return list;
}

}  // namespace

json JsonReport::build(const RunInfo& info, const RunRecord& record, const std::vector<Jog>& jogs) {
  json report;
  report["run"] = run(info, record);
  report["jogs"] = json::array();
  for (const Jog& j : jogs) report["jogs"].push_back(jog(j));
  report["lights"] = lights(record);
  report["path"] = path(record);
  report["faults"] = faults(record);
  report["events"] = events(record);
  report["log"] = log(record);
  report["log_dropped"] = record.log_dropped;
  report["robot_calls"] = robotCalls(record);
  report["robot_calls_dropped"] = record.robot_calls_dropped;
  report["robot_queries"] = record.robot_queries;
  return report;
}

json JsonReport::run(const RunInfo& info, const RunRecord& record) {
  json run = {{"bundle", info.bundle},
              {"joystick", info.joystick},
              {"joystick_description", info.joystick_description},
              {"device_info", info.device_info},
              {"scenario", info.scenario},
              {"scenario_name", info.scenario_name},
              {"start_options", record.start_options},
              {"duration", record.end},
              {"waits_met", info.waits_met},
              {"stopped_by_signal", info.stop_signal},
              {"package_file", info.package_file}};
  run["package_content"] = info.package_content ? json(*info.package_content) : json(nullptr);
  return run;
}

json JsonReport::jog(const Jog& j) {
  json jog = {{"number", j.number},
              {"start", j.start},
              {"speed", j.speed},
              {"acceleration", j.acceleration},
              {"time_bound", j.time_bound},
              {"accepted", j.accepted},
              {"stop_cause", StopCauseFinder::code(j.cause)},
              {"stop_description", StopCauseFinder::describe(j.cause)},
              {"fault", j.fault},
              {"start_pose", j.start_pose},
              {"end_pose", j.end_pose}};
  jog["stick"] = j.stick ? json(*j.stick) : json(nullptr);
  jog["stop"] = j.stop ? json(*j.stop) : json(nullptr);
  json changes = json::array();
  for (const SpeedChange& c : j.changes) {
    changes.push_back({{"t", c.t},
                       {"speed", c.speed},
                       {"accepted", c.accepted},
                       {"stick", c.stick ? json(*c.stick) : json(nullptr)},
                       {"pose", c.pose}});
  }
  jog["speed_changes"] = changes;
  return jog;
}

json JsonReport::events(const RunRecord& record) {
  json steps = json::array();
  for (const StepRecord& s : record.steps) {
    steps.push_back({{"at", s.at}, {"t", s.t}, {"line", s.line}, {"description", s.description}});
  }
  json waits = json::array();
  for (const WaitRecord& w : record.waits) {
    waits.push_back({{"condition", ScenarioText::waitName(w.condition)},
                     {"start", w.start},
                     {"end", w.end},
                     {"timed_out", w.timed_out}});
  }
  json robot = json::array();
  for (const RobotEvent& e : record.robot_events) {
    robot.push_back({{"t", e.t}, {"description", e.description}, {"halts", e.halts}});
  }
  json sticks = json::array();
  for (const StickSample& s : record.sticks) sticks.push_back({{"t", s.t}, {"axes", s.axes}});
  return {{"steps", steps}, {"waits", waits}, {"robot", robot}, {"sticks", sticks}};
}

json JsonReport::robotCalls(const RunRecord& record) {
  json list = json::array();
  for (const RobotCall& c : record.robot_calls) {
    list.push_back({{"t", c.t},
                    {"sim_time", c.call.sim_time},
                    {"name", c.call.name},
                    {"kind", c.call.kind == sim::CallKind::kCommand ? "command" : "query"},
                    {"args", c.call.args},
                    {"text", c.call.text},
                    {"result", c.call.result}});
  }
  return list;
}

std::string JsonReport::text(const json& report) {
  return report.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace velk::rocker_sim
