#include "bench/host_call_replay.h"

#include <time.h>

#include <algorithm>
#include <map>

#include "bench/allocation_counter.h"
#include "host/common_interface/robot_interface.h"
#include "host/common_interface/robot_manage.h"
#include "host/common_interface/robot_state.h"
#include "host/common_interface/runtime_machine.h"
#include "host/common_interface/system_info.h"
#include "host/common_interface/zorv_api.h"

namespace velk::bench {
namespace {

double threadCpuUs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// Keeps the optimiser from dropping a call whose result is unused.
template <class T>
void keep(const T& value) {
  asm volatile("" : : "g"(&value) : "memory");
}

}  // namespace

HostCallReplay::HostCallReplay(std::shared_ptr<common_interface::ZorvApi> api,
                               std::vector<sim::RecordedCall> recorded, int cycles)
    : api_(std::move(api)), recorded_(std::move(recorded)), cycles_(cycles) {
  // The bundle holds a robot handle for several queries; the handle getters
  // it calls in between are replayed with each query.
  robot_ = api_->getRobotInterface("rob1");
}

bool HostCallReplay::replay(const sim::RecordedCall& call) {
  const std::string& name = call.name;
  if (name == "getRobotNames") {
    keep(api_->getRobotNames());
  } else if (name == "getRobotInterface") {
    keep(api_->getRobotInterface(call.text));
  } else if (name == "getRobotModeType") {
    keep(robot_->getRobotState()->getRobotModeType());
  } else if (name == "getSafetyModeType") {
    keep(robot_->getRobotState()->getSafetyModeType());
  } else if (name == "isSteady") {
    keep(robot_->getRobotState()->isSteady());
  } else if (name == "getToolPose") {
    keep(robot_->getRobotState()->getToolPose());
  } else if (name == "isFreedriveEnabled") {
    keep(robot_->getRobotManage()->isFreedriveEnabled());
  } else if (name == "getStatus") {
    keep(api_->getRuntimeMachine()->getStatus());
  } else if (name == "getControlSystemTime") {
    keep(api_->getSystemInfo()->getControlSystemTime());
  } else {
    return false;
  }
  return true;
}

void HostCallReplay::replayCycle() {
  if (recorded_.empty() || cycles_ <= 0) return;
  const std::size_t per_cycle = (recorded_.size() + static_cast<std::size_t>(cycles_) - 1) /
                                static_cast<std::size_t>(cycles_);
  for (std::size_t i = 0; i < per_cycle; ++i) {
    replay(recorded_[next_call_]);
    next_call_ = (next_call_ + 1) % recorded_.size();
  }
}

HostCallReplay::Cost HostCallReplay::measure(int min_cycles) {
  Cost cost;
  if (recorded_.empty() || cycles_ <= 0) return cost;
  const int rounds = std::max(1, (min_cycles + cycles_ - 1) / cycles_);
  skipped_.clear();
  const AllocationTotals before = AllocationCounter::forCallingThread();
  const double cpu_before = threadCpuUs();
  long replayed = 0;
  for (int round = 0; round < rounds; ++round) {
    for (const sim::RecordedCall& call : recorded_) {
      if (!replay(call)) {
        if (round == 0) skipped_.push_back(call.name);
        continue;
      }
      ++replayed;
    }
  }
  const double cpu_after = threadCpuUs();
  const AllocationTotals after = AllocationCounter::forCallingThread();
  const double cycles = static_cast<double>(rounds) * cycles_;
  cost.cpu_us_per_cycle = (cpu_after - cpu_before) / cycles;
  cost.allocations_per_cycle = static_cast<double>(after.allocations - before.allocations) / cycles;
  cost.calls_per_cycle = static_cast<double>(replayed) / cycles;
  return cost;
}

std::vector<std::string> HostCallReplay::skipped() const { return skipped_; }

nlohmann::json HostCallReplay::callMix() const {
  std::map<std::string, int> counts;
  for (const sim::RecordedCall& call : recorded_) ++counts[call.name];
  nlohmann::json mix = nlohmann::json::object();
  for (const auto& [name, n] : counts) {
    mix[name] = cycles_ > 0 ? static_cast<double>(n) / cycles_ : 0.0;
  }
  return mix;
}

}  // namespace velk::bench
