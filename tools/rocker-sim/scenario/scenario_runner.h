#pragma once

#include <optional>
#include <string>

#include "rocker-sim/run/run_record.h"
#include "rocker-sim/run/run_stage.h"
#include "rocker-sim/scenario/scenario.h"

namespace velk::rocker_sim {

// Plays a scenario against the running extension: applies each step when
// the script clock reaches its time, holds the script clock while a wait
// lasts, and samples the run every tick until the script's end.
class ScenarioRunner {
 public:
  static constexpr double kTick = 0.01;  // seconds

  ScenarioRunner(const Scenario& scenario, RunStage& stage);

  // The steps at time 0 that only set the stage (robot state, stick): they
  // are in place before the extension starts.
  void applyOpeningSteps();
  // Returns false if a wait timed out. Ends early when a stop signal comes.
  bool run();

 private:
  struct ActiveWait {
    WaitFor wait;
    double start;
    std::size_t record;
  };

  void tick(double now);
  void applyDueSteps(double now);
  void apply(const ScenarioStep& step, double now);
  void beginWait(const WaitFor& wait, double now);
  void checkWait(double now);
  bool canSee(WaitCondition condition) const;
  bool satisfied(WaitCondition condition) const;
  bool finished(double now) const;
  void narrate(double now, const std::string& text) const;
  static bool opening(const ScenarioStep& step);
  static std::string describe(const ScenarioStep& step);

  const Scenario& scenario_;
  RunStage& stage_;
  std::size_t next_ = 0;
  double waited_ = 0.0;  // run time spent in waits, not counted on the script clock
  std::optional<ActiveWait> wait_;
  bool all_waits_met_ = true;
};

}  // namespace velk::rocker_sim
