#include "bench/periodic_probe.h"

#include <time.h>
#include <unistd.h>

#include <utility>

#include "host_rig/rig_timing.h"

namespace velk::bench {

using host_rig::timing::waitFor;

PeriodicProbe::PeriodicProbe(std::function<void()> work, std::chrono::microseconds period)
    : work_(std::move(work)), period_(period) {
  thread_ = std::thread([this] { run(); });
  waitFor([this] { return tid_.load() != 0; }, std::chrono::seconds(5));
}

PeriodicProbe::~PeriodicProbe() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void PeriodicProbe::run() {
  tid_ = static_cast<int>(gettid());
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  const long period_ns = static_cast<long>(period_.count()) * 1000L;
  while (!stop_) {
    next.tv_nsec += period_ns;
    while (next.tv_nsec >= 1000000000L) {
      next.tv_nsec -= 1000000000L;
      ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    if (work_) work_();
  }
}

}  // namespace velk::bench
