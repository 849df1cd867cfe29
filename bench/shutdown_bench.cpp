#include "bench/shutdown_bench.h"

#include <random>
#include <thread>
#include <vector>

#include "bench/modbus_call_log.h"
#include "bench/ms_between.h"
#include "bench/poll_timeline.h"
#include "bench/sample_stats.h"
#include "host_rig/thread_probe.h"

namespace velk::bench {

using host_rig::ThreadProbe;
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

ShutdownBench::ShutdownBench(BenchRig& rig, ShutdownSettings settings)
    : rig_(rig), settings_(settings) {}

void ShutdownBench::run(nlohmann::json& figures) {
  std::mt19937 random(settings_.seed);
  std::uniform_int_distribution<int> phase_ms(0, 100);
  std::vector<double> stop_ms, release_ms, pass_io_ms;
  int task_left_after_stop = 0, poll_left_after_release = 0;
  for (int i = 0; i < settings_.iterations; ++i) {
    ModbusCallLog::clear();
    rig_.loadBundle();
    rig_.startRocker();
    rig_.awaitJoystickData();
    std::this_thread::sleep_for(std::chrono::milliseconds(phase_ms(random)));
    const int task = rig_.taskThreadTid();
    const int poll = rig_.pollThreadTid();

    const auto t0 = Clock::now();
    rig_.stopRocker();
    const auto t1 = Clock::now();
    if (ThreadProbe::sample(task).alive) ++task_left_after_stop;
    const auto t2 = Clock::now();
    rig_.releaseBundle();
    const auto t3 = Clock::now();
    if (ThreadProbe::sample(poll).alive) ++poll_left_after_release;

    stop_ms.push_back(msBetween(t0, t1));
    release_ms.push_back(msBetween(t2, t3));
    const PollTimeline timeline(ModbusCallLog::callsOfThread(poll));
    for (double io : timeline.groupPassIoMs()) pass_io_ms.push_back(io);
  }
  figures["iterations"] = settings_.iterations;
  figures["stop_ms"] = SampleStats::of(stop_ms).toJson();
  figures["release_ms"] = SampleStats::of(release_ms).toJson();
  figures["stop_samples_ms"] = stop_ms;
  figures["release_samples_ms"] = release_ms;
  figures["group_pass_io_ms"] = SampleStats::of(pass_io_ms).toJson();
  figures["cycle_ms"] = BenchRig::kCycleMs;
  figures["poll_sleep_ms"] = 10.0;
  figures["task_thread_alive_after_stop"] = task_left_after_stop;
  figures["poll_thread_alive_after_release"] = poll_left_after_release;
}

}  // namespace velk::bench
