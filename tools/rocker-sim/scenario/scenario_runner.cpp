#include "rocker-sim/scenario/scenario_runner.h"

#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

#include "robot_sim/simulated_robot.h"
#include "rocker-sim/command_line/start_options.h"
#include "rocker-sim/run/console.h"
#include "rocker-sim/run/scenario_joystick_driver.h"
#include "rocker-sim/run/robot_controller.h"
#include "rocker-sim/run/run_sampler.h"
#include "rocker-sim/run/sim_clock.h"
#include "rocker-sim/run/stop_signals.h"
#include "rocker-sim/scenario/scenario_text.h"

namespace velk::rocker_sim {

namespace {

constexpr int kReadyIndicator = 1;  // the code the bundle shows while jogging is possible

}  // namespace

ScenarioRunner::ScenarioRunner(const Scenario& scenario, RunStage& stage)
    : scenario_(scenario), stage_(stage) {}

bool ScenarioRunner::opening(const ScenarioStep& step) {
  return step.at == 0.0 && !step.restart && !step.press && !step.fault && !step.wait;
}

void ScenarioRunner::applyOpeningSteps() {
  while (next_ < scenario_.steps.size() && opening(scenario_.steps[next_])) {
    apply(scenario_.steps[next_++], 0.0);
  }
}

bool ScenarioRunner::run() {
  using Clock = std::chrono::steady_clock;
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kTick));
  auto next_tick = Clock::now();
  while (!StopSignals::requested()) {
    const double now = stage_.clock.now();
    tick(now);
    if (finished(now)) break;
    next_tick += period;
    if (next_tick < Clock::now()) next_tick = Clock::now();
    std::this_thread::sleep_until(next_tick);
  }
  stage_.record.end = stage_.clock.now();
  return all_waits_met_;
}

void ScenarioRunner::tick(double now) {
  stage_.joystick.update(now);
  if (wait_) checkWait(now);
  if (!wait_) applyDueSteps(now);
  stage_.sampler.sample(now);
}

bool ScenarioRunner::finished(double now) const {
  return !wait_ && next_ == scenario_.steps.size() && now - waited_ >= scenario_.end;
}

void ScenarioRunner::applyDueSteps(double now) {
  while (!wait_ && next_ < scenario_.steps.size() && scenario_.steps[next_].at <= now - waited_) {
    apply(scenario_.steps[next_++], now);
  }
}

void ScenarioRunner::apply(const ScenarioStep& step, double now) {
  const std::string text = describe(step);
  stage_.record.steps.push_back(StepRecord{step.at, now, step.line, text});
  narrate(now, text);
  if (step.robot) stage_.robot_controller.apply(*step.robot, now);
  if (step.restart) stage_.restart(*step.restart);
  if (step.stick) stage_.joystick.setStick(step.stick->axes, step.stick->ramp, now);
  if (step.press) stage_.joystick.press(step.press->button, step.press->hold, now);
  if (step.fault) stage_.joystick.startFault(*step.fault, now);
  if (step.wait) beginWait(*step.wait, now);
}

bool ScenarioRunner::canSee(WaitCondition condition) const {
  const bool on_lights = condition == WaitCondition::kReady ||
                         condition == WaitCondition::kJoggingOn ||
                         condition == WaitCondition::kJoggingOff;
  return !on_lights || stage_.joystick.present();
}

void ScenarioRunner::beginWait(const WaitFor& wait, double now) {
  if (!canSee(wait.condition)) {
    narrate(now, "cannot see the lights of an outside joystick: not waiting for " +
                     ScenarioText::waitName(wait.condition));
    return;
  }
  stage_.record.waits.push_back(WaitRecord{wait.condition, now, now, false});
  wait_ = ActiveWait{wait, now, stage_.record.waits.size() - 1};
  checkWait(now);
}

void ScenarioRunner::checkWait(double now) {
  const bool met = satisfied(wait_->wait.condition);
  const bool timed_out = !met && now - wait_->start >= wait_->wait.timeout;
  if (!met && !timed_out) return;
  WaitRecord& record = stage_.record.waits[wait_->record];
  record.end = now;
  record.timed_out = timed_out;
  if (timed_out) {
    all_waits_met_ = false;
    narrate(now, "gave up waiting for " + ScenarioText::waitName(wait_->wait.condition) +
                     " after " + ScenarioText::seconds(wait_->wait.timeout) + " s");
  }
  waited_ += now - wait_->start;
  wait_.reset();
}

bool ScenarioRunner::satisfied(WaitCondition condition) const {
  switch (condition) {
    case WaitCondition::kReady:
      return stage_.sampler.lights().indicator == kReadyIndicator;
    case WaitCondition::kJoggingOn:
      return stage_.sampler.lights().power;
    case WaitCondition::kJoggingOff:
      return !stage_.sampler.lights().power;
    case WaitCondition::kMoving:
      return !stage_.robot.steady();
    case WaitCondition::kStill:
      return stage_.robot.steady();
  }
  return true;
}

void ScenarioRunner::narrate(double now, const std::string& text) const {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%8.3f] > ", now);
  stage_.console.errorLine(stamp + text);
}

std::string ScenarioRunner::describe(const ScenarioStep& step) {
  std::ostringstream out;
  const char* separator = "";
  auto part = [&](const std::string& text) {
    out << separator << text;
    separator = "; ";
  };
  if (step.robot) part("robot " + RobotController::describe(*step.robot));
  if (step.restart) {
    std::string options;
    for (const auto& [key, value] : step.restart->as_table()) {
      options += " " + key + "=" + StartOptions::formatValue(value);
    }
    part("restart the extension" + (options.empty() ? std::string() : " with" + options));
  }
  if (step.stick) {
    part("stick " + ScenarioText::stick(step.stick->axes) +
         (step.stick->ramp > 0 ? " over " + ScenarioText::seconds(step.stick->ramp) + " s" : ""));
  }
  if (step.press) {
    part("press " + ScenarioText::buttonName(step.press->button) + " for " +
         ScenarioText::seconds(step.press->hold) + " s");
  }
  if (step.fault) part("fault " + ScenarioText::fault(*step.fault));
  if (step.wait) part("wait for " + ScenarioText::waitName(step.wait->condition));
  if (!step.note.empty()) part(step.note);
  return out.str();
}

}  // namespace velk::rocker_sim
