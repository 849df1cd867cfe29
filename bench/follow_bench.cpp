#include "bench/follow_bench.h"

#include <thread>
#include <vector>

#include "bench/joystick_driver.h"
#include "bench/sample_stats.h"

namespace velk::bench {

namespace {

using namespace std::chrono_literals;

constexpr int16_t kStartDeflection = 400;
constexpr int16_t kStepDeflection = 800;
constexpr int16_t kSweepLow = 300;
constexpr int16_t kSweepHigh = 1000;
constexpr auto kSweepStep = 10ms;
constexpr int kSweepSteps = 100;  // each way: 2 s in all
constexpr auto kSettle = 300ms;
constexpr auto kBetweenJogs = 400ms;

}  // namespace

FollowBench::FollowBench(BenchRig& rig, FollowSettings settings) : rig_(rig), settings_(settings) {}

void FollowBench::run(nlohmann::json& figures) {
  rig_.bringUp();
  figures["stick_rate"] = rig_.stickRate();
  steps(figures);
  sweep(figures);
}

void FollowBench::steps(nlohmann::json& figures) {
  JoystickDriver jog(rig_);
  const auto period = std::chrono::microseconds(1000000 / rig_.stickRate());
  std::vector<double> change_ms;
  int failures = 0;
  for (int i = 0; i < settings_.jogs; ++i) {
    if (!jog.push(kStartDeflection).ok) {
      ++failures;
      rig_.joystick().setStickX(0);
      std::this_thread::sleep_for(kBetweenJogs);
      continue;
    }
    std::this_thread::sleep_for(kSettle + period * i / settings_.jogs);
    const auto step =
        jog.actAndAwait([&] { rig_.joystick().setStickX(kStepDeflection); }, "speedLine");
    if (step.ok) {
      change_ms.push_back(step.ms());
    } else {
      ++failures;
    }
    jog.release();
    std::this_thread::sleep_for(kBetweenJogs);
  }
  figures["jogs"] = settings_.jogs;
  figures["failures"] = failures;
  figures["change_to_speed_line_ms"] = SampleStats::of(change_ms).toJson();
}

void FollowBench::sweep(nlohmann::json& figures) {
  JoystickDriver jog(rig_);
  const bool started = jog.push(kSweepLow).ok;
  rig_.robot().clearCalls();
  const auto began = std::chrono::steady_clock::now();
  auto next = began;
  for (int i = 0; i <= 2 * kSweepSteps; ++i) {
    const int along = i <= kSweepSteps ? i : 2 * kSweepSteps - i;
    rig_.joystick().setStickX(
        static_cast<int16_t>(kSweepLow + (kSweepHigh - kSweepLow) * along / kSweepSteps));
    next += kSweepStep;
    std::this_thread::sleep_until(next);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  const auto speed_lines = static_cast<int>(rig_.robot().callsNamed("speedLine").size());
  const bool stopped_during = !rig_.robot().callsNamed("stopLine").empty();
  jog.release();
  figures["sweep"] = {{"started", started},
                      {"seconds", seconds},
                      {"speed_lines", speed_lines},
                      {"per_second", speed_lines / seconds},
                      {"stopped_during", stopped_during}};
}

}  // namespace velk::bench
