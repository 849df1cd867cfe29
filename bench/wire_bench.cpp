#include "bench/wire_bench.h"

#include <thread>

#include "bench/joystick_driver.h"
#include "bench/light_write_check.h"
#include "bench/modbus_call_log.h"
#include "bench/poll_timeline.h"
#include "bench/request_tally.h"
#include "bench/sample_stats.h"
#include "bench/simple_poller.h"
#include "bench/wire_frames.h"
#include "host_rig/rig_timing.h"
#include "joystick_sim/joystick_map.h"

namespace velk::bench {

using host_rig::timing::waitFor;

using joystick_sim::JoystickMap;
namespace {

using namespace std::chrono_literals;

std::chrono::steady_clock::duration seconds(double value) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(value));
}

// Reads of each function per group pass: the batched minimum is exactly one
// per group, i.e. 1.0 for functions 1, 3 and 4, and no writes.
nlohmann::json perGroupPass(const RequestTally& tally, int group_passes) {
  nlohmann::json out = nlohmann::json::object();
  for (const auto& [function, f] : tally.byFunction()) {
    out[std::to_string(function)] =
        group_passes > 0 ? static_cast<double>(f.requests) / group_passes : 0.0;
  }
  return out;
}

// How often the stick was read in a window of `seconds`, and on a serial
// line the share of the line's time its frames took: bytes x 10 bit times
// (8N1) / 115200 baud. The line carries nothing else.
nlohmann::json busLoad(const std::vector<joystick_sim::SlaveRequest>& requests,
                       const RequestTally& tally, Transport transport, double seconds) {
  int stick_reads = 0;
  for (const auto& request : requests) {
    if (PollTimeline::readsStick(request.function, request.address, request.count)) ++stick_reads;
  }
  nlohmann::json out;
  out["stick_reads_per_s"] = seconds > 0 ? stick_reads / seconds : 0.0;
  out["rtu_occupancy"] = nullptr;
  if (transport == Transport::kRtu && seconds > 0) {
    out["rtu_occupancy"] = static_cast<double>(tally.bytes()) * 10.0 / WireFrames::kBaud / seconds;
  }
  return out;
}

}  // namespace

WireBench::WireBench(BenchRig& rig, WireSettings settings) : rig_(rig), settings_(settings) {}

void WireBench::pressSpeedButton(bool light_after) {
  LoopbackJoystick& joystick = rig_.joystick();
  joystick.setButton(joystick_sim::Button::kSpeed, true);
  require(
      waitFor([&] { return joystick.slave().coil(JoystickMap::kSpeedLightCoil) == light_after; },
              5s, 5ms),
      "the speed light did not follow the speed button within 5 s");
  joystick.setButton(joystick_sim::Button::kSpeed, false);
  // Past the next read of the coil group, which confirms the light.
  std::this_thread::sleep_for(300ms);
}

void WireBench::run(nlohmann::json& figures) {
  rig_.joystick().slave().clearLog();
  rig_.bringUp();
  pressSpeedButton(true);
  pressSpeedButton(false);
  const LightWriteCheck lights(rig_.joystick().slave().requests());
  figures["light_writes"] = lights.toJson();
  figures["rest"] = restWindow();
  figures["jogging"] = jogWindow();
}

nlohmann::json WireBench::restWindow() {
  const Transport transport = rig_.transport();
  LoopbackJoystick simple_joystick(transport, std::chrono::seconds(120));
  SimplePoller simple(simple_joystick, std::chrono::seconds(120));
  std::this_thread::sleep_for(1s);  // connected and on its schedule

  joystick_sim::ModbusSlave& slave = rig_.joystick().slave();
  ModbusCallLog::clear();
  slave.clearLog();
  simple_joystick.slave().clearLog();
  const int simple_rounds_before = simple.rounds();
  const auto from = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(seconds(settings_.window_s));
  const auto to = std::chrono::steady_clock::now();
  const auto bundle_requests = slave.requests();
  const auto simple_requests = simple_joystick.slave().requests();
  const int simple_rounds = simple.rounds() - simple_rounds_before;
  simple.stop();

  const double window = std::chrono::duration<double>(to - from).count();
  const PollTimeline timeline(ModbusCallLog::callsOfThread(rig_.pollThreadTid()));
  const int group_passes = timeline.groupPassesBetween(from, to);
  const RequestTally bundle(bundle_requests, transport);
  const RequestTally poller(simple_requests, transport);

  nlohmann::json out;
  out["bundle"] = bundle.toJson(window);
  out["group_passes"] = group_passes;
  out["per_group_pass"] = perGroupPass(bundle, group_passes);
  out["group_period_ms"] = SampleStats::of(timeline.groupPeriodsMs()).toJson();
  out["simple_poller"] = poller.toJson(window);
  out["simple_poller"]["rounds"] = simple_rounds;
  out["simple_poller"]["failures"] = simple.failures();
  out["request_ratio"] =
      bundle.requests() > 0 ? static_cast<double>(poller.requests()) / bundle.requests() : 0.0;
  out["byte_ratio"] =
      bundle.bytes() > 0 ? static_cast<double>(poller.bytes()) / bundle.bytes() : 0.0;
  out["passes"] = passTimes(timeline);
  out["bus"] = busLoad(bundle_requests, bundle, transport, window);
  return out;
}

nlohmann::json WireBench::jogWindow() {
  JoystickDriver jog(rig_);
  const auto push = jog.push(kPushDeflection);
  require(push.ok, "no speedLine for a held push");
  std::this_thread::sleep_for(300ms);

  joystick_sim::ModbusSlave& slave = rig_.joystick().slave();
  ModbusCallLog::clear();
  slave.clearLog();
  rig_.robot().clearCalls();
  const auto from = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(seconds(settings_.window_s));
  const auto to = std::chrono::steady_clock::now();
  const auto requests = slave.requests();
  const bool still_jogging = rig_.robot().callsNamed("stopLine").empty();
  require(jog.release().ok, "no stopLine for the release");

  const double window = std::chrono::duration<double>(to - from).count();
  const PollTimeline timeline(ModbusCallLog::callsOfThread(rig_.pollThreadTid()));
  const int group_passes = timeline.groupPassesBetween(from, to);
  const RequestTally bundle(requests, rig_.transport());
  nlohmann::json out;
  out["bundle"] = bundle.toJson(window);
  out["group_passes"] = group_passes;
  out["per_group_pass"] = perGroupPass(bundle, group_passes);
  out["jog_held_throughout"] = still_jogging;
  out["passes"] = passTimes(timeline);
  out["bus"] = busLoad(requests, bundle, rig_.transport(), window);
  return out;
}

nlohmann::json WireBench::passTimes(const PollTimeline& timeline) {
  const Transport transport = rig_.transport();
  std::vector<double> io_ms, wire_ms, ratio;
  std::map<int, std::vector<double>> call_ms;
  std::map<int, double> call_wire_ms;
  for (const PollTimeline::Pass& pass : timeline.passes()) {
    if (!pass.readsStick()) continue;
    long bytes = 0;
    for (const ModbusCall& call : pass.calls) {
      const int frame_bytes = WireFrames::requestBytes(transport, call.function) +
                              WireFrames::replyBytes(transport, call.function, call.count);
      bytes += frame_bytes;
      call_ms[call.function].push_back(call.milliseconds());
      call_wire_ms[call.function] = WireFrames::wireMs(frame_bytes, WireFrames::kBaud);
    }
    const double wire = WireFrames::wireMs(bytes, WireFrames::kBaud);
    io_ms.push_back(pass.ioMs());
    wire_ms.push_back(wire);
    ratio.push_back(pass.ioMs() / wire);
  }
  nlohmann::json calls = nlohmann::json::object();
  for (const auto& [function, durations] : call_ms) {
    calls[std::to_string(function)] = {{"io_ms", SampleStats::of(durations).toJson()},
                                       {"wire_ms_at_115200", call_wire_ms[function]}};
  }
  return {{"io_ms", SampleStats::of(io_ms).toJson()},
          {"wire_ms_at_115200", SampleStats::of(wire_ms).toJson()},
          {"io_over_wire", SampleStats::of(ratio).toJson()},
          {"by_function", calls}};
}

}  // namespace velk::bench
