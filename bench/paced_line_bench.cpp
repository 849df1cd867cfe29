#include "bench/paced_line_bench.h"

#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "bench/joystick_driver.h"
#include "bench/modbus_call_log.h"
#include "bench/ms_between.h"
#include "bench/poll_timeline.h"
#include "bench/sample_stats.h"

namespace velk::bench {

namespace {

using namespace std::chrono_literals;

constexpr auto kHold = 800ms;
// After a stop the bundle keeps a pause and wants the stick seen centred.
constexpr auto kBetweenJogs = 400ms;
constexpr int kReadFunctions = 4;

std::string groupName(const ModbusCall& call) {
  static const char* const kSpaces[] = {"", "coils", "discrete inputs", "holding registers",
                                        "input registers"};
  return std::string(kSpaces[call.function]) + " " + std::to_string(call.address) + ".." +
         std::to_string(call.address + call.count - 1);
}

}  // namespace

PacedLineBench::PacedLineBench(BenchRig& rig, PacedLineSettings settings)
    : rig_(rig), settings_(settings) {}

void PacedLineBench::run(nlohmann::json& figures) {
  rig_.bringUp();
  figures["stick_rate"] = rig_.stickRate();
  figures["input_timeout_ms"] = rig_.inputTimeoutMs();
  figures["groups"] = groupIntervals();
  jogs(figures);
  figures["slow_line_warnings"] = rig_.log().countContaining("cannot be read as often as asked");
  figures["input_timeout_warnings"] =
      rig_.log().countContaining("reads of the stick at the rate the line achieves");
}

nlohmann::json PacedLineBench::groupIntervals() {
  ModbusCallLog::clear();
  std::this_thread::sleep_for(std::chrono::duration<double>(settings_.window_s));
  const auto calls = ModbusCallLog::callsOfThread(rig_.pollThreadTid());
  std::map<std::tuple<int, int, int>, std::vector<const ModbusCall*>> reads;
  std::vector<double> request_ms;
  for (const ModbusCall& call : calls) {
    if (call.result < 0) continue;
    request_ms.push_back(call.milliseconds());
    if (call.function >= 1 && call.function <= kReadFunctions)
      reads[{call.function, call.address, call.count}].push_back(&call);
  }
  nlohmann::json groups = nlohmann::json::array();
  for (const auto& [key, group] : reads) {
    std::vector<double> intervals;
    for (std::size_t i = 1; i < group.size(); ++i) {
      intervals.push_back(msBetween(group[i - 1]->start, group[i]->start));
    }
    const ModbusCall& first = *group.front();
    const bool stick = PollTimeline::readsStick(first.function, first.address, first.count);
    groups.push_back({{"group", groupName(first)},
                      {"stick", stick},
                      {"asked_ms", 1000.0 / (stick ? rig_.stickRate() : BenchRig::kStickRate)},
                      {"interval_ms", SampleStats::of(intervals).toJson()}});
  }
  return {{"window_s", settings_.window_s},
          {"request_ms", SampleStats::of(request_ms).toJson()},
          {"each", groups}};
}

void PacedLineBench::jogs(nlohmann::json& figures) {
  JoystickDriver jog(rig_);
  std::vector<double> release_ms;
  int cut_short = 0, not_started = 0;
  for (int i = 0; i < settings_.jogs; ++i) {
    const auto push = jog.push(i % 2 == 0 ? kPushDeflection : -kPushDeflection);
    if (!push.ok) {
      ++not_started;
      rig_.joystick().setStickX(0);
      std::this_thread::sleep_for(kBetweenJogs);
      continue;
    }
    // The releases step evenly through a stick read period, as a hand
    // lets go at any moment of the poll schedule.
    const auto period = std::chrono::microseconds(1000000 / rig_.stickRate());
    std::this_thread::sleep_until(push.command + kHold + period * i / settings_.jogs);
    if (!rig_.robot().callsNamed("stopLine").empty()) {
      ++cut_short;
      rig_.joystick().setStickX(0);
    } else {
      const auto release = jog.release();
      if (release.ok) release_ms.push_back(release.ms());
    }
    std::this_thread::sleep_for(kBetweenJogs);
  }
  figures["jogs"] = settings_.jogs;
  figures["not_started"] = not_started;
  figures["cut_short"] = cut_short;
  figures["release_to_stop_ms"] = SampleStats::of(release_ms).toJson();
}

}  // namespace velk::bench
