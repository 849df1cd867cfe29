#include "bench/cpu_bench.h"

#include <thread>
#include <vector>

#include "bench/host_call_replay.h"
#include "bench/periodic_probe.h"
#include "host_rig/thread_probe.h"

namespace velk::bench {

using host_rig::ThreadProbe;
using host_rig::ThreadSample;

namespace {

using namespace std::chrono_literals;

nlohmann::json threadFigures(const ThreadSample& before, const ThreadSample& after, double wall_s) {
  const double cpu_s = static_cast<double>(after.cpu_ns - before.cpu_ns) / 1e9;
  return {
      {"tid", before.tid},
      {"cpu_ms", cpu_s * 1e3},
      {"cpu_percent_of_core", cpu_s / wall_s * 100.0},
      {"wakeups_per_s", static_cast<double>(after.voluntary - before.voluntary) / wall_s},
      {"preemptions_per_s", static_cast<double>(after.involuntary - before.involuntary) / wall_s},
      {"alive_throughout", before.alive && after.alive}};
}

}  // namespace

CpuBench::CpuBench(BenchRig& rig, CpuSettings settings) : rig_(rig), settings_(settings) {}

void CpuBench::run(nlohmann::json& figures) {
  rig_.bringUp();
  std::this_thread::sleep_for(2s);  // past the start-up writes
  const int task = rig_.taskThreadTid();
  const int poll = rig_.pollThreadTid();
  require(task > 0 && poll > 0, "the bundle's threads were not found");

  HostCallReplay replay = recordHostCalls();
  // The yardsticks run beside the bundle, under the same load.
  PeriodicProbe idle(nullptr);
  PeriodicProbe host_calls([&replay] { replay.replayCycle(); });
  std::this_thread::sleep_for(500ms);

  const std::vector<int> tids{task, poll, idle.tid(), host_calls.tid()};
  std::vector<ThreadSample> before;
  for (int tid : tids) before.push_back(ThreadProbe::sample(tid));
  const auto from = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(settings_.window_s));
  std::vector<ThreadSample> after;
  for (int tid : tids) after.push_back(ThreadProbe::sample(tid));
  const double wall_s =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();

  const nlohmann::json task_figures = threadFigures(before[0], after[0], wall_s);
  const nlohmann::json poll_figures = threadFigures(before[1], after[1], wall_s);
  const double wakeups_per_s = 1000.0 / BenchRig::kCycleMs;
  figures["window_s"] = wall_s;
  figures["task_thread"] = task_figures;
  figures["poll_thread"] = poll_figures;
  figures["cpu_percent_of_core"] = task_figures["cpu_percent_of_core"].get<double>() +
                                   poll_figures["cpu_percent_of_core"].get<double>();
  figures["wakeups_per_s"] =
      task_figures["wakeups_per_s"].get<double>() + poll_figures["wakeups_per_s"].get<double>();
  figures["task_cpu_us_per_cycle"] =
      task_figures["cpu_ms"].get<double>() * 1e3 / (wall_s * wakeups_per_s);
  figures["poll_cpu_us_per_wakeup"] = poll_figures["cpu_ms"].get<double>() * 1e3 /
                                      (poll_figures["wakeups_per_s"].get<double>() * wall_s);
  nlohmann::json idle_figures = threadFigures(before[2], after[2], wall_s);
  idle_figures["cpu_us_per_wakeup"] =
      idle_figures["cpu_ms"].get<double>() * 1e3 / (wall_s * wakeups_per_s);
  nlohmann::json host_figures = threadFigures(before[3], after[3], wall_s);
  host_figures["cpu_us_per_cycle"] =
      host_figures["cpu_ms"].get<double>() * 1e3 / (wall_s * wakeups_per_s);
  figures["idle_100hz_thread"] = idle_figures;
  figures["host_calls_100hz_thread"] = host_figures;

  const HostCallReplay::Cost warm = replay.measure(5000);
  figures["host_api"] = {{"calls_per_cycle", replay.callMix()},
                         {"replayed_calls_per_cycle", warm.calls_per_cycle},
                         {"warm_cpu_us_per_cycle", warm.cpu_us_per_cycle},
                         {"allocations_per_cycle", warm.allocations_per_cycle},
                         {"skipped", replay.skipped()}};
}

HostCallReplay CpuBench::recordHostCalls() {
  sim::SimulatedRobot& robot = rig_.robot();
  robot.setCallRecordCapacity(50000);
  robot.clearCalls();
  robot.setRecordQueries(true);
  const auto from = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(1s);
  robot.setRecordQueries(false);
  const double window_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
  std::vector<sim::RecordedCall> queries;
  for (sim::RecordedCall& call : robot.calls()) {
    if (call.kind == sim::CallKind::kQuery) queries.push_back(std::move(call));
  }
  robot.clearCalls();
  robot.setCallRecordCapacity(256);
  return HostCallReplay(robot.api(), std::move(queries),
                        static_cast<int>(window_ms / BenchRig::kCycleMs));
}

}  // namespace velk::bench
