#include "bench/watchdog_bench.h"

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

#include "bench/joystick_driver.h"
#include "bench/modbus_call_log.h"
#include "bench/ms_between.h"
#include "bench/sample_stats.h"
#include "host_rig/rig_timing.h"
#include "joystick_sim/joystick_map.h"

namespace velk::bench {

using host_rig::timing::waitFor;

using joystick_sim::JoystickMap;
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const char* const kReadBack = "Get rocker modbus data success!";
const char* const kAgeStop = "Rocker stop: the stick values are";

// How long jog `i` of `n` holds after its speedLine before the fault: 20 to
// 120 ms, spread evenly, so that the faults fall at evenly spread moments of
// the group period and the worst of them comes near the worst case.
std::chrono::microseconds faultDelay(int i, int n) {
  const double ms = 20.0 + 100.0 * (i + 0.5) / n;
  return std::chrono::microseconds(static_cast<long>(ms * 1000.0));
}

// When the poll thread last had a reply, before `until`: of a stick group
// read, and of any request at all. The epoch where there was none.
struct LastReplies {
  Clock::time_point stick;
  Clock::time_point any;
};

LastReplies lastReplies(const std::vector<ModbusCall>& calls, Clock::time_point until) {
  LastReplies last;
  for (const ModbusCall& call : calls) {
    if (call.result < 0 || call.end > until) continue;
    last.any = std::max(last.any, call.end);
    if (call.readsInputRegister(JoystickMap::kFirstAxisRegister))
      last.stick = std::max(last.stick, call.end);
  }
  return last;
}

}  // namespace

WatchdogBench::WatchdogBench(BenchRig& rig, BenchRigSettings rig_settings,
                             WatchdogSettings settings)
    : rig_(rig), rig_settings_(std::move(rig_settings)), settings_(settings) {}

void WatchdogBench::run(nlohmann::json& figures) {
  figures["input_timeout_ms"] = rig_.inputTimeoutMs();
  figures["cycle_ms"] = BenchRig::kCycleMs;
  silences(figures["silent"]);
  drops(figures["dropped"]);
}

void WatchdogBench::silences(nlohmann::json& figures) {
  rig_.bringUp();
  JoystickDriver jog(rig_);
  const int poll_tid = rig_.pollThreadTid();
  std::vector<double> from_stick_reply, from_any_reply, from_silence;
  int failures = 0, age_stops = 0, extra_stops = 0;
  for (int i = 0; i < settings_.silences; ++i) {
    ModbusCallLog::clear();
    const auto push = jog.push(i % 2 == 0 ? kPushDeflection : -kPushDeflection);
    if (!push.ok) {
      ++failures;
      jog.release();
      continue;
    }
    std::this_thread::sleep_until(push.command + faultDelay(i, settings_.silences));
    const int read_backs = rig_.log().countContaining(kReadBack);
    const int age_stops_before = rig_.log().countContaining(kAgeStop);
    const auto silent =
        jog.actAndAwait([&] { rig_.joystick().slave().setSilent(true); }, "stopLine");
    const LastReplies last = lastReplies(ModbusCallLog::callsOfThread(poll_tid), silent.command);
    // Well past the stop, so that a second stopLine for the same jog shows.
    std::this_thread::sleep_for(100ms);
    rig_.joystick().slave().setSilent(false);
    rig_.joystick().setStickX(0);
    if (!silent.ok || last.stick == Clock::time_point()) {
      ++failures;
    } else {
      from_stick_reply.push_back(msBetween(last.stick, silent.command));
      from_any_reply.push_back(msBetween(last.any, silent.command));
      from_silence.push_back(msBetween(silent.changed, silent.command));
    }
    age_stops += rig_.log().countContaining(kAgeStop) > age_stops_before ? 1 : 0;
    extra_stops += std::max(0, static_cast<int>(rig_.robot().callsNamed("stopLine").size()) - 1);
    awaitReadBack(read_backs);
  }
  figures["jogs"] = settings_.silences;
  figures["failures"] = failures;
  figures["age_stops"] = age_stops;
  figures["extra_stop_lines"] = extra_stops;
  figures["from_stick_reply_ms"] = SampleStats::of(from_stick_reply).toJson();
  figures["from_any_reply_ms"] = SampleStats::of(from_any_reply).toJson();
  figures["from_silence_ms"] = SampleStats::of(from_silence).toJson();
  figures["from_stick_reply_samples_ms"] = from_stick_reply;
}

// The silent read runs into the response time-out, then the next read
// succeeds and the bundle requires the stick to be seen centred again, at
// its next read a group period later.
void WatchdogBench::awaitReadBack(int read_backs_before) {
  waitFor([&] { return rig_.log().countContaining(kReadBack) > read_backs_before; }, 3s, 5ms);
  std::this_thread::sleep_for(250ms);
}

void WatchdogBench::drops(nlohmann::json& figures) {
  std::vector<double> from_drop;
  int failures = 0, extra_stops = 0;
  for (int i = 0; i < settings_.drops; ++i) {
    BenchRig rig(rig_settings_);
    rig.bringUp();
    JoystickDriver jog(rig);
    const auto push = jog.push(kPushDeflection);
    if (!push.ok) {
      ++failures;
      continue;
    }
    std::this_thread::sleep_until(push.command + faultDelay(i, settings_.drops));
    const auto dropped = jog.actAndAwait([&] { rig.joystick().unplug(); }, "stopLine");
    if (!dropped.ok) {
      ++failures;
      continue;
    }
    from_drop.push_back(msBetween(dropped.began, dropped.command));
    std::this_thread::sleep_for(100ms);
    extra_stops += std::max(0, static_cast<int>(rig.robot().callsNamed("stopLine").size()) - 1);
  }
  figures["jogs"] = settings_.drops;
  figures["failures"] = failures;
  figures["extra_stop_lines"] = extra_stops;
  figures["from_drop_ms"] = SampleStats::of(from_drop).toJson();
  figures["from_drop_samples_ms"] = from_drop;
}

}  // namespace velk::bench
