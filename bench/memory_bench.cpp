#include "bench/memory_bench.h"

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include "bench/allocation_counter.h"
#include "bench/joystick_driver.h"
#include "bench/modbus_call_log.h"
#include "bench/poll_timeline.h"
#include "robot_sim/simulated_robot.h"

namespace velk::bench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kJogPeriod = 3s;
constexpr auto kJogHold = 1s;
// The first fifth of the growth run settles caches, arenas and capacities.
constexpr double kWarmUpShare = 0.2;

nlohmann::json toJson(const MemorySample& m) {
  return {{"rss_kb", m.rss_kb},
          {"rss_anon_kb", m.rss_anon_kb},
          {"rss_file_kb", m.rss_file_kb},
          {"heap_in_use", m.heap_in_use},
          {"live_blocks", m.live_blocks}};
}

nlohmann::json difference(const MemorySample& from, const MemorySample& to) {
  return {{"rss_kb", to.rss_kb - from.rss_kb},
          {"rss_anon_kb", to.rss_anon_kb - from.rss_anon_kb},
          {"rss_file_kb", to.rss_file_kb - from.rss_file_kb},
          {"heap_in_use",
           static_cast<int64_t>(to.heap_in_use) - static_cast<int64_t>(from.heap_in_use)},
          {"live_blocks", to.live_blocks - from.live_blocks}};
}

// Least-squares slope of `values` over `minutes`, per minute.
double slopePerMinute(const std::vector<double>& minutes, const std::vector<double>& values) {
  const std::size_t n = std::min(minutes.size(), values.size());
  if (n < 2) return 0.0;
  double mx = 0, my = 0;
  for (std::size_t i = 0; i < n; ++i) {
    mx += minutes[i];
    my += values[i];
  }
  mx /= static_cast<double>(n);
  my /= static_cast<double>(n);
  double sxy = 0, sxx = 0;
  for (std::size_t i = 0; i < n; ++i) {
    sxy += (minutes[i] - mx) * (values[i] - my);
    sxx += (minutes[i] - mx) * (minutes[i] - mx);
  }
  return sxx > 0 ? sxy / sxx : 0.0;
}

// Whether the later half of the samples rises above everything the earlier
// half reached: a leak keeps climbing, a steady heap moves within a band.
bool climbs(const std::vector<double>& values) {
  if (values.size() < 4) return false;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  const double early_max = *std::max_element(values.begin(), middle);
  const double late_min = *std::min_element(middle, values.end());
  return late_min > early_max;
}

nlohmann::json series(const std::vector<double>& minutes, const std::vector<double>& values) {
  if (values.empty()) return nullptr;
  return {{"first", values.front()},
          {"last", values.back()},
          {"min", *std::min_element(values.begin(), values.end())},
          {"max", *std::max_element(values.begin(), values.end())},
          {"slope_per_minute", slopePerMinute(minutes, values)},
          {"climbs", climbs(values)}};
}

std::size_t totalQueries(const sim::SimulatedRobot& robot) {
  std::size_t total = 0;
  for (const auto& [name, count] : robot.queryCounts()) total += count;
  return total;
}

}  // namespace

MemoryBench::MemoryBench(BenchRig& rig, MemorySettings settings) : rig_(rig), settings_(settings) {}

void MemoryBench::run(nlohmann::json& figures) {
  std::this_thread::sleep_for(300ms);
  const MemorySample before = ProcessMemory::sample();
  rig_.loadBundle();
  std::this_thread::sleep_for(300ms);
  const MemorySample loaded = ProcessMemory::sample();
  rig_.startRocker();
  rig_.awaitJoystickData();
  rig_.switchJoggingOn();
  std::this_thread::sleep_for(1s);
  const MemorySample started = ProcessMemory::sample();
  figures["before_load"] = toJson(before);
  figures["added_by_load"] = difference(before, loaded);
  figures["added_by_start"] = difference(loaded, started);
  figures["added_in_total"] = difference(before, started);

  figures["at_rest"] = allocationWindow(settings_.window_s);
  const double rest_per_cycle = figures["at_rest"]["task_allocations_per_cycle"].get<double>();
  JoystickDriver jog(rig_);
  figures["jog_start"] = taskAllocationsAround(rest_per_cycle, [&] {
    require(jog.push(kPushDeflection).ok, "no speedLine for a held push");
  });
  std::this_thread::sleep_for(200ms);
  figures["jogging"] = allocationWindow(settings_.window_s / 2.0);
  figures["jog_stop"] = taskAllocationsAround(
      rest_per_cycle, [&] { require(jog.release().ok, "no stopLine for the release"); });
  std::this_thread::sleep_for(500ms);
  figures["growth"] = growthRun();
}

nlohmann::json MemoryBench::allocationWindow(double seconds) {
  const int task = rig_.taskThreadTid();
  const int poll = rig_.pollThreadTid();
  ModbusCallLog::clear();
  const AllocationTotals task_before = AllocationCounter::forThread(task);
  const AllocationTotals poll_before = AllocationCounter::forThread(poll);
  // The host API calls made in the window, so that their allocations can be
  // told from the bundle's whatever the number of cycles that ran.
  const std::size_t queries_before = totalQueries(rig_.robot());
  const auto from = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const AllocationTotals task_after = AllocationCounter::forThread(task);
  const AllocationTotals poll_after = AllocationCounter::forThread(poll);
  const std::size_t queries_after = totalQueries(rig_.robot());
  const auto to = Clock::now();

  const double wall_ms = std::chrono::duration<double, std::milli>(to - from).count();
  const double cycles = wall_ms / BenchRig::kCycleMs;
  const PollTimeline timeline(ModbusCallLog::callsOfThread(poll));
  // Passes without a read leave no trace in the call log; the stick's group
  // is read every pollPassesPerStickRead() passes.
  const int group_passes = timeline.groupPassesBetween(from, to);
  const double passes = group_passes * static_cast<double>(rig_.pollPassesPerStickRead());
  const auto allocations = [](const AllocationTotals& a, const AllocationTotals& b) {
    return static_cast<double>(b.allocations - a.allocations);
  };
  const auto bytes = [](const AllocationTotals& a, const AllocationTotals& b) {
    return static_cast<double>(b.bytes - a.bytes);
  };
  return {{"seconds", wall_ms / 1000.0},
          {"task_allocations_per_cycle", allocations(task_before, task_after) / cycles},
          {"task_bytes_per_cycle", bytes(task_before, task_after) / cycles},
          {"host_queries_per_cycle", static_cast<double>(queries_after - queries_before) / cycles},
          {"poll_allocations_per_pass",
           passes > 0 ? allocations(poll_before, poll_after) / passes : 0.0},
          {"poll_allocations_per_group_period",
           group_passes > 0 ? allocations(poll_before, poll_after) / group_passes : 0.0},
          {"poll_bytes_per_pass", passes > 0 ? bytes(poll_before, poll_after) / passes : 0.0},
          {"group_passes", group_passes}};
}

nlohmann::json MemoryBench::taskAllocationsAround(double rest_per_cycle,
                                                  const std::function<void()>& action) {
  const int task = rig_.taskThreadTid();
  const AllocationTotals before = AllocationCounter::forThread(task);
  const auto from = Clock::now();
  action();
  // The cycle that sent the command finishes its logging.
  std::this_thread::sleep_for(50ms);
  const AllocationTotals after = AllocationCounter::forThread(task);
  const double cycles =
      std::chrono::duration<double, std::milli>(Clock::now() - from).count() / BenchRig::kCycleMs;
  const auto allocations = static_cast<double>(after.allocations - before.allocations);
  return {{"task_allocations", allocations},
          {"task_bytes", static_cast<double>(after.bytes - before.bytes)},
          {"cycles", cycles},
          {"beyond_rest", allocations - rest_per_cycle * cycles}};
}

nlohmann::json MemoryBench::growthRun() {
  JoystickDriver jog(rig_);
  const auto jogs = static_cast<int>(settings_.growth_s / 3.0);
  // About 60 samples whatever the length, all at the same point of a jog.
  const int sample_every = std::max(1, jogs / 60);
  std::vector<double> minutes, rss, heap, blocks;
  minutes.reserve(static_cast<std::size_t>(jogs) + 1);
  rss.reserve(minutes.capacity());
  heap.reserve(minutes.capacity());
  blocks.reserve(minutes.capacity());
  int failures = 0;
  ModbusCallLog::setRecording(false);
  const auto begin = Clock::now();
  for (int i = 0; i < jogs; ++i) {
    const auto jog_start = Clock::now();
    if (!jog.push(i % 2 == 0 ? kPushDeflection : -kPushDeflection).ok) ++failures;
    std::this_thread::sleep_until(jog_start + kJogHold);
    if (!jog.release().ok) ++failures;
    std::this_thread::sleep_until(jog_start + kJogPeriod);
    // Keep the benchmark's own records from growing with the run.
    rig_.joystick().slave().clearLog();
    rig_.robot().clearCalls();
    if (i % sample_every != 0) continue;
    const MemorySample m = ProcessMemory::sample();
    minutes.push_back(std::chrono::duration<double>(Clock::now() - begin).count() / 60.0);
    rss.push_back(static_cast<double>(m.rss_kb));
    heap.push_back(static_cast<double>(m.heap_in_use));
    blocks.push_back(static_cast<double>(m.live_blocks));
  }
  ModbusCallLog::setRecording(true);
  const auto skip = static_cast<std::ptrdiff_t>(static_cast<double>(minutes.size()) * kWarmUpShare);
  const auto tail = [skip](const std::vector<double>& v) {
    return std::vector<double>(v.begin() + skip, v.end());
  };
  return {{"seconds", std::chrono::duration<double>(Clock::now() - begin).count()},
          {"jogs", jogs},
          {"failures", failures},
          {"samples", minutes.size()},
          {"warm_up_samples", skip},
          {"rss_kb", series(tail(minutes), tail(rss))},
          {"heap_in_use", series(tail(minutes), tail(heap))},
          {"live_blocks", series(tail(minutes), tail(blocks))},
          {"minutes", minutes},
          {"rss_kb_samples", rss},
          {"heap_samples", heap},
          {"live_block_samples", blocks}};
}

}  // namespace velk::bench
