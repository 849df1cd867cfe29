#include "rocker-sim/run/simulator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <toml.hpp>

#include "host_rig/bundle_host.h"
#include "host_rig/framework_match.h"
#include "host_rig/host_home.h"
#include "host_rig/log_sink.h"
#include "joystick_sim/simulated_joystick.h"
#include "robot_sim/simulated_robot.h"
#include "rocker-sim/command_line/input_error.h"
#include "rocker-sim/command_line/start_options.h"
#include "rocker-sim/report/atomic_file.h"
#include "rocker-sim/report/jog_analyzer.h"
#include "rocker-sim/report/json_report.h"
#include "rocker-sim/report/svg_plot.h"
#include "rocker-sim/report/text_report.h"
#include "rocker-sim/run/console.h"
#include "rocker-sim/run/interactive_session.h"
#include "rocker-sim/run/robot_controller.h"
#include "rocker-sim/run/run_sampler.h"
#include "rocker-sim/run/run_stage.h"
#include "rocker-sim/run/scenario_joystick_driver.h"
#include "rocker-sim/run/sim_clock.h"
#include "rocker-sim/run/stop_signals.h"
#include "rocker-sim/scenario/scenario_parser.h"
#include "rocker-sim/scenario/scenario_runner.h"

namespace velk::rocker_sim {

namespace {

using host_rig::BundleHost;
using host_rig::HostHome;
using host_rig::LogSink;

// The extension queries the robot about ten times a cycle (about 1,300
// calls a second): those are only counted by name. Its commands (motion,
// I/O, task changes) come a few at a time and are all kept; the bound is
// there for a run that goes wrong, not for one that goes well.
constexpr std::size_t kRobotCommandCapacity = 400000;
constexpr std::chrono::hours kInteractiveLifetime{24};
// Log entries kept for the reports; beyond them the oldest go.
constexpr std::size_t kLogCapacity = 200000;
constexpr double kServerMargin = 60.0;  // s the joystick outlives the planned run

// Longest the scenario can take: its script time plus every wait run out.
std::chrono::seconds plannedLength(const Scenario& scenario) {
  double total = scenario.end + kServerMargin;
  for (const auto& step : scenario.steps) {
    if (step.wait) total += step.wait->timeout;
  }
  return std::chrono::seconds(static_cast<long>(std::ceil(total)));
}

bool drivesJoystick(const Scenario& scenario) {
  return std::any_of(scenario.steps.begin(), scenario.steps.end(),
                     [](const ScenarioStep& s) { return s.stick || s.press || s.fault; });
}

void collect(RunRecord& record, const LogSink& log, const sim::SimulatedRobot& robot,
             const SimClock& clock) {
  record.log = log.entries();
  record.log_dropped = log.dropped();
  for (auto& call : robot.calls()) {
    const double t = clock.at(call.steady_time);
    record.robot_calls.push_back(RobotCall{t, std::move(call)});
  }
  record.robot_calls_dropped = robot.droppedCalls();
  record.robot_queries = robot.queryCounts();
}

}  // namespace

Simulator::Simulator(SimSettings settings) : settings_(std::move(settings)) {}

Scenario Simulator::loadScenario() const {
  if (settings_.interactive) return Scenario{};
  return ScenarioParser::parseFile(settings_.scenario);
}

std::unique_ptr<SimulatedJoystick> Simulator::makeJoystick(const Scenario& scenario) const {
  if (settings_.joystick == JoystickChoice::kNone) return nullptr;
  const auto lifetime = settings_.interactive
                            ? std::chrono::duration_cast<std::chrono::seconds>(kInteractiveLifetime)
                            : plannedLength(scenario);
  const auto transport = settings_.joystick == JoystickChoice::kTcp
                             ? SimulatedJoystick::Transport::kTcp
                             : SimulatedJoystick::Transport::kRtu;
  return std::make_unique<SimulatedJoystick>(transport, lifetime);
}

int Simulator::run() {
  StopSignals signals;
  Console console;
  const Scenario scenario = loadScenario();
  if (const auto problem = host_rig::FrameworkMatch::problem(settings_.bundle)) {
    throw InputError(*problem);
  }
  const StartOptions options(settings_.options);
  HostHome home(settings_.home);  // sets HOME: before any thread starts
  auto joystick = makeJoystick(scenario);
  const std::string device_info = joystick ? joystick->deviceInfo() : settings_.device_info;
  for (const auto& note : options.notes(device_info, scenario.options)) {
    console.errorLine("rocker-sim: " + note);
  }
  announce(console, joystick.get(), scenario, device_info);

  sim::SimulatedRobot robot;
  robot.setCallRecordCapacity(kRobotCommandCapacity);
  robot.setRecordQueries(false);
  robot.setRealTime(true);
  RunRecord record;
  record.simulated_joystick = joystick != nullptr;
  const SimClock clock;
  LogSink log(kLogCapacity);  // outlives the extension
  log.stampWith([&clock] { return clock.now(); });
  log.echo(settings_.log_level, [&console](const std::string& line) { console.errorLine(line); });
  BundleHost host(settings_.bundle);
  ScenarioJoystickDriver driver(joystick.get(), record);
  RobotController controller(robot, record);
  RunSampler sampler(robot, joystick.get(), record);

  auto start = [&](const toml::value& overrides) {
    record.start_options.push_back(options.text(device_info, scenario.options, overrides));
    host.start(robot.api(), log.callback(), record.start_options.back());
  };
  auto restart = [&](const toml::value& overrides) {
    host.stop();
    if (joystick) joystick->resetOutputs();  // the new start powers the joystick afresh
    start(overrides);
  };
  RunStage stage{clock, robot, driver, controller, sampler, record, console, restart};
  ScenarioRunner runner(scenario, stage);
  runner.applyOpeningSteps();
  start(toml::table{});
  bool waits_met = true;
  if (settings_.interactive) {
    InteractiveSession(stage).run();
  } else {
    waits_met = runner.run();
  }
  driver.clearFaults(clock.now());
  host.shutdown();

  collect(record, log, robot, clock);
  const auto jogs = JogAnalyzer(record).jogs();
  RunInfo info = describe(joystick.get(), scenario, device_info);
  info.waits_met = waits_met;
  info.package_file = home.packageFile();
  info.package_content = home.packageContent();
  report(console, info, record, jogs);
  if (StopSignals::requested()) return kExitSignalBase + StopSignals::signal();
  return waits_met ? kExitOk : kExitWaitTimedOut;
}

void Simulator::announce(Console& console, const SimulatedJoystick* joystick,
                         const Scenario& scenario, const std::string& device_info) const {
  console.errorLine("rocker-sim: bundle " + settings_.bundle);
  console.errorLine("rocker-sim: joystick " + (joystick ? joystick->describe() : "outside device") +
                    " (device_info " + device_info + ")");
  if (!settings_.interactive) {
    console.errorLine("rocker-sim: scenario " + scenario.path +
                      (scenario.name.empty() ? "" : " (" + scenario.name + ")"));
  }
  if (!joystick && drivesJoystick(scenario)) {
    console.errorLine(
        "rocker-sim: an outside joystick: the scenario's stick, press and fault "
        "steps are not played");
  }
}

RunInfo Simulator::describe(const SimulatedJoystick* joystick, const Scenario& scenario,
                            const std::string& device_info) const {
  RunInfo info;
  info.bundle = settings_.bundle;
  info.joystick = joystickName(settings_.joystick);
  info.joystick_description = joystick ? joystick->describe() : "outside device " + device_info;
  info.device_info = device_info;
  info.scenario = scenario.path;
  info.scenario_name = scenario.name;
  info.stop_signal = StopSignals::signal();
  return info;
}

void Simulator::report(Console& console, const RunInfo& info, const RunRecord& record,
                       const std::vector<Jog>& jogs) const {
  console.print(TextReport::render(info, record, jogs));
  if (!settings_.report.empty()) {
    AtomicFile::write(settings_.report, JsonReport::text(JsonReport::build(info, record, jogs)));
    console.print("\nReport: " + settings_.report + "\n");
  }
  if (!settings_.svg.empty()) {
    AtomicFile::write(settings_.svg, SvgPlot::render(record, jogs));
    console.print("SVG: " + settings_.svg + "\n");
  }
}

}  // namespace velk::rocker_sim
