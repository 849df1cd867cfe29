#include "bench/latency_bench.h"

#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "bench/joystick_driver.h"
#include "bench/latency_breakdown.h"
#include "bench/latency_model.h"
#include "bench/modbus_call_log.h"
#include "bench/poll_timeline.h"
#include "bench/sample_stats.h"
#include "joystick_sim/joystick_map.h"

namespace velk::bench {

using joystick_sim::JoystickMap;
namespace {

using namespace std::chrono_literals;

constexpr double kNominalGroupPeriodMs = 100.0;
// Successive fractional parts of multiples of the golden ratio fill [0, 1)
// evenly in any number of steps, unlike random draws, whose clumps would
// move the median of 200 samples by several milliseconds.
constexpr double kGoldenStep = 0.6180339887498949;
// The bundle waits 100 ms before a start less than 200 ms after the last
// stop; the pushes keep clear of that.
constexpr auto kClearOfPause = 200ms;

std::chrono::steady_clock::duration ms(double value) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double, std::milli>(value));
}

}  // namespace

LatencyBench::LatencyBench(BenchRig& rig, LatencySettings settings)
    : rig_(rig), settings_(settings) {}

void LatencyBench::run(nlohmann::json& figures) {
  rig_.bringUp();
  JoystickDriver jog(rig_);
  ModbusCallLog::clear();
  const int poll_tid = rig_.pollThreadTid();
  // The waits are spread over one group period as this run's poll thread
  // keeps it.
  std::this_thread::sleep_for(1500ms);
  const SampleStats warm_up =
      SampleStats::of(PollTimeline(ModbusCallLog::callsOfThread(poll_tid)).groupPeriodsMs());
  const double period_ms = warm_up.count > 0 ? warm_up.mean : kNominalGroupPeriodMs;
  std::mt19937 start_of_sequence(settings_.seed);
  double push_phase = std::uniform_real_distribution<double>(0.0, 1.0)(start_of_sequence);
  double release_phase = push_phase + 0.5;
  const auto next = [period_ms](double& phase) {
    phase = std::fmod(phase + kGoldenStep, 1.0);
    return phase * period_ms;
  };
  ModbusCallLog::clear();
  std::vector<double> push_ms, release_ms;
  std::vector<LatencyBreakdown::Sample> pushes, releases;
  int failures = 0, paused = 0;
  auto last_stop = std::chrono::steady_clock::now();
  for (int i = 0; i < settings_.pushes; ++i) {
    std::this_thread::sleep_until(last_stop + kClearOfPause + ms(next(push_phase)));
    const auto push = jog.push(i % 2 == 0 ? kPushDeflection : -kPushDeflection);
    if (!push.ok) {
      ++failures;
      jog.release();
      last_stop = std::chrono::steady_clock::now();
      continue;
    }
    if (push.paused) {
      ++paused;
    } else {
      push_ms.push_back(push.ms());
      pushes.push_back({push.changed, push.command});
    }
    std::this_thread::sleep_until(push.command + 5ms + ms(next(release_phase)));
    const auto release = jog.release();
    if (!release.ok) {
      ++failures;
      last_stop = std::chrono::steady_clock::now();
      continue;
    }
    release_ms.push_back(release.ms());
    releases.push_back({release.changed, release.command});
    last_stop = release.command;
  }

  const auto poll_calls = ModbusCallLog::callsOfThread(poll_tid);
  const PollTimeline timeline(poll_calls);
  std::vector<ModbusCall> stick_reads;
  for (const ModbusCall& call : poll_calls) {
    if (call.readsInputRegister(JoystickMap::kFirstAxisRegister)) stick_reads.push_back(call);
  }
  const SampleStats period = SampleStats::of(timeline.groupPeriodsMs());
  const SampleStats read = SampleStats::of(timeline.stickReadMs());
  const SampleStats pass_io = SampleStats::of(timeline.groupPassIoMs());
  const LatencyModel push_model(period.mean, period.max, read.median, read.max, BenchRig::kCycleMs,
                                1);
  const LatencyModel release_model(period.mean, period.max, read.median, read.max,
                                   BenchRig::kCycleMs, 0);

  figures["jogs"] = settings_.pushes;
  figures["failures"] = failures;
  figures["paused_starts"] = paused;
  figures["push"] = SampleStats::of(push_ms).toJson();
  figures["release"] = SampleStats::of(release_ms).toJson();
  figures["push_samples_ms"] = push_ms;
  figures["release_samples_ms"] = release_ms;
  figures["push_model"] = push_model.toJson();
  figures["release_model"] = release_model.toJson();
  figures["group_period_ms"] = period.toJson();
  figures["stick_read_ms"] = read.toJson();
  figures["group_pass_io_ms"] = pass_io.toJson();
  figures["cycle_ms"] = BenchRig::kCycleMs;
  figures["push_breakdown"] = LatencyBreakdown(stick_reads, pushes, BenchRig::kCycleMs, 1).toJson();
  figures["release_breakdown"] =
      LatencyBreakdown(stick_reads, releases, BenchRig::kCycleMs, 0).toJson();
}

}  // namespace velk::bench
