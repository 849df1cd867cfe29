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

// A JSON array of `entry` of each item.
template <typename Item, typename Entry>
json listOf(const std::vector<Item>& items, Entry entry) {
  json list = json::array();
  for (const Item& item : items) list.push_back(entry(item));
  return list;
}

json lights(const RunRecord& record) {
  return listOf(record.lights, [](const LightSample& s) -> json {
    return {{"t", s.t},
            {"power_light", s.lights.power},
            {"speed_light", s.lights.speed},
            {"indicator", s.lights.indicator},
            {"meaning", zorv_comm::IndicatorCode::meaning(s.lights.indicator)}};
  });
}

json path(const RunRecord& record) {
  return listOf(record.path, [](const PathSample& s) -> json {
    return {{"t", s.t}, {"pose", s.pose}, {"speed", s.speed}};
  });
}

json log(const RunRecord& record) {
  return listOf(record.log, [](const LogEntry& e) -> json {
    return {
        {"t", e.t}, {"level", e.level}, {"file", e.file}, {"line", e.line}, {"message", e.message}};
  });
}

json faults(const RunRecord& record) {
  return listOf(record.faults, [](const FaultRecord& f) {
    json fault = {{"kind", ScenarioText::faultName(f.fault.kind)},
                  {"description", ScenarioText::fault(f.fault)},
                  {"start", f.start},
                  {"end", time(f.end)}};
    if (f.fault.kind == FaultKind::kException) {
      fault["address"] = f.fault.address;
      fault["code"] = f.fault.code;
    }
    return fault;
  });
}

}  // namespace

json JsonReport::build(const RunInfo& info, const RunRecord& record, const std::vector<Jog>& jogs) {
  json report;
  report["run"] = run(info, record);
  report["jogs"] = listOf(jogs, jog);
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
  jog["speed_changes"] = listOf(j.changes, [](const SpeedChange& c) -> json {
    return {{"t", c.t},
            {"speed", c.speed},
            {"accepted", c.accepted},
            {"stick", c.stick ? json(*c.stick) : json(nullptr)},
            {"pose", c.pose}};
  });
  return jog;
}

json JsonReport::events(const RunRecord& record) {
  const json steps = listOf(record.steps, [](const StepRecord& s) -> json {
    return {{"at", s.at}, {"t", s.t}, {"line", s.line}, {"description", s.description}};
  });
  const json waits = listOf(record.waits, [](const WaitRecord& w) -> json {
    return {{"condition", ScenarioText::waitName(w.condition)},
            {"start", w.start},
            {"end", w.end},
            {"timed_out", w.timed_out}};
  });
  const json robot = listOf(record.robot_events, [](const RobotEvent& e) -> json {
    return {{"t", e.t}, {"description", e.description}, {"halts", e.halts}};
  });
  const json sticks = listOf(record.sticks, [](const StickSample& s) -> json {
    return {{"t", s.t}, {"axes", s.axes}};
  });
  return {{"steps", steps}, {"waits", waits}, {"robot", robot}, {"sticks", sticks}};
}

json JsonReport::robotCalls(const RunRecord& record) {
  return listOf(record.robot_calls, [](const RobotCall& c) -> json {
    return {{"t", c.t},
            {"sim_time", c.call.sim_time},
            {"name", c.call.name},
            {"kind", c.call.kind == sim::CallKind::kCommand ? "command" : "query"},
            {"args", c.call.args},
            {"text", c.call.text},
            {"result", c.call.result}};
  });
}

std::string JsonReport::text(const json& report) {
  return report.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace velk::rocker_sim
