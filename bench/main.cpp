// rocker-bench: the benchmarks of the rocker bundle, run by scripts/bench.sh.
//
//   rocker-bench <latency|wire|cpu|memory|shutdown|watchdog> --transport tcp|rtu --out FILE
//                [--stick-rate HZ] [--input-timeout S]
//   rocker-bench noisy-line --transport tcp|rtu --out FILE [--damage KIND] [--period N]
//   rocker-bench paced-line --transport rtu --out FILE --reply-latency MS [--stick-rate HZ]
//                [--input-timeout S] [--jogs N]
//   rocker-bench follow --transport tcp|rtu --out FILE [--stick-rate HZ] [--jogs N]
//
// Each benchmark loads librocker.so through the framework like a host, runs
// it against a real Modbus slave and the simulated robot, and writes its
// figures as JSON; bench/page/render.py turns a folder of them into the
// Markdown page.
// `noisy-line` runs once per kind of damage, each with a bundle of its own,
// and prints its figures as a Markdown table too.
#include <cxxopts.hpp>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_rig.h"
#include "bench/bench_run.h"
#include "bench/cpu_bench.h"
#include "bench/follow_bench.h"
#include "bench/latency_bench.h"
#include "bench/memory_bench.h"
#include "bench/noisy_line_bench.h"
#include "bench/paced_line_bench.h"
#include "bench/shutdown_bench.h"
#include "bench/transport.h"
#include "bench/watchdog_bench.h"
#include "bench/wire_bench.h"

namespace {

using velk::bench::BenchRig;
using velk::bench::BenchRigSettings;
using velk::bench::BenchRun;
using velk::bench::NoisyLineBench;
using velk::bench::NoisyLineSettings;
using velk::bench::Transport;

cxxopts::Options makeOptions() {
  cxxopts::Options options("rocker-bench", "Benchmarks of the rocker bundle");
  options.add_options()("command",
                        "latency, wire, cpu, memory, shutdown, watchdog, noisy-line, paced-line or "
                        "follow",
                        cxxopts::value<std::string>())(
      "transport", "tcp or rtu", cxxopts::value<std::string>()->default_value("tcp"))(
      "out", "JSON file for the figures", cxxopts::value<std::string>())(
      "bundle", "the bundle's library",
      cxxopts::value<std::string>()->default_value(ROCKER_BUNDLE_PATH))(
      "pushes", "latency: jogs", cxxopts::value<int>()->default_value("200"))(
      "window", "wire, cpu, memory: window in seconds",
      cxxopts::value<double>()->default_value("10"))("growth", "memory: growth run in seconds",
                                                     cxxopts::value<double>()->default_value("60"))(
      "iterations", "shutdown: starts and stops", cxxopts::value<int>()->default_value("15"))(
      "silences", "watchdog: jogs ended by a silent joystick",
      cxxopts::value<int>()->default_value("16"))("drops",
                                                  "watchdog: jogs ended by a dropped connection",
                                                  cxxopts::value<int>()->default_value("6"))(
      "damage", "noisy-line: one kind of damage, or all",
      cxxopts::value<std::string>()->default_value("all"))(
      "period", "noisy-line: one reply in this many is damaged",
      cxxopts::value<int>()->default_value("25"))(
      "stick-rate", "start option stick_rate in Hz; 0 leaves it out (10 Hz)",
      cxxopts::value<int>()->default_value("0"))(
      "input-timeout", "start option input_timeout in seconds; 0 leaves it out (0.3 s)",
      cxxopts::value<double>()->default_value("0"))(
      "reply-latency", "paced-line: each reply held this many ms (a USB adapter's latency)",
      cxxopts::value<int>()->default_value("0"))(
      "jogs", "paced-line, follow: jogs", cxxopts::value<int>()->default_value("10"))("h,help",
                                                                                      "this text");
  options.parse_positional({"command"});
  options.positional_help("<command>");
  return options;
}

// Each kind of damage that fits the transport, or the one asked for.
std::vector<velk::joystick_sim::Damage> damagesFor(const std::string& name, Transport transport) {
  const auto framing = transport == Transport::kTcp ? velk::joystick_sim::Framing::kTcp
                                                    : velk::joystick_sim::Framing::kRtu;
  std::vector<velk::joystick_sim::Damage> damages;
  for (const auto damage : velk::joystick_sim::allDamages()) {
    const bool asked = name == "all" || velk::joystick_sim::damageName(damage) == name;
    if (asked && velk::joystick_sim::appliesTo(damage, framing)) damages.push_back(damage);
  }
  if (damages.empty()) throw std::invalid_argument("no damage '" + name + "' over this transport");
  return damages;
}

int runNoisyLine(const cxxopts::ParseResult& args, BenchRigSettings settings) {
  NoisyLineSettings noisy;
  noisy.period = args["period"].as<int>();
  noisy.window_s = args["window"].as<double>();
  settings.tapped = true;
  BenchRun run("noisy-line", settings.transport);
  std::string table = NoisyLineBench::tableHead();
  for (const auto damage : damagesFor(args["damage"].as<std::string>(), settings.transport)) {
    noisy.damage = damage;
    nlohmann::json& figures = run.figures()[velk::joystick_sim::damageName(damage)];
    {
      BenchRig rig(settings);
      NoisyLineBench(rig, noisy).run(figures);
    }
    table += NoisyLineBench::tableRow(figures);
    std::cerr << NoisyLineBench::tableRow(figures);
  }
  run.finish(args["out"].as<std::string>());
  std::cout << table;
  return 0;
}

int runBench(const std::string& command, const cxxopts::ParseResult& args) {
  if (!args.count("out")) {
    std::cerr << "rocker-bench: --out is required\n";
    return 2;
  }
  BenchRigSettings settings;
  settings.transport = velk::bench::parseTransport(args["transport"].as<std::string>());
  settings.bundle_path = args["bundle"].as<std::string>();
  settings.stick_rate = args["stick-rate"].as<int>();
  settings.input_timeout_s = args["input-timeout"].as<double>();
  const double window = args["window"].as<double>();
  const double growth = args["growth"].as<double>();
  // The slave outlives the longest run.
  settings.lifetime = std::chrono::seconds(static_cast<long>(growth + 10 * window) + 300);

  if (command == "noisy-line") return runNoisyLine(args, settings);
  if (command == "paced-line") {
    if (settings.transport != Transport::kRtu) {
      std::cerr << "rocker-bench: paced-line runs over rtu only\n";
      return 2;
    }
    settings.reply_latency_ms = args["reply-latency"].as<int>();
  }
  settings.jog_follow = command == "follow";

  BenchRun run(command, settings.transport);
  {
    BenchRig rig(settings);
    run.recordStartOptions(rig.stickRate(), rig.inputTimeoutMs());
    if (command == "latency") {
      velk::bench::LatencyBench(rig, {args["pushes"].as<int>()}).run(run.figures());
    } else if (command == "wire") {
      velk::bench::WireBench(rig, {window}).run(run.figures());
    } else if (command == "cpu") {
      velk::bench::CpuBench(rig, {window}).run(run.figures());
    } else if (command == "memory") {
      velk::bench::MemoryBench(rig, {window, growth}).run(run.figures());
    } else if (command == "shutdown") {
      velk::bench::ShutdownBench(rig, {args["iterations"].as<int>()}).run(run.figures());
    } else if (command == "paced-line") {
      velk::bench::PacedLineBench(rig, {window, args["jogs"].as<int>()}).run(run.figures());
      run.figures()["reply_latency_ms"] = settings.reply_latency_ms;
    } else if (command == "follow") {
      velk::bench::FollowBench(rig, {args["jogs"].as<int>()}).run(run.figures());
    } else if (command == "watchdog") {
      velk::bench::WatchdogBench(rig, settings,
                                 {args["silences"].as<int>(), args["drops"].as<int>()})
          .run(run.figures());
    } else {
      std::cerr << "rocker-bench: unknown command '" << command << "'\n";
      return 2;
    }
  }
  run.finish(args["out"].as<std::string>());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  cxxopts::Options options = makeOptions();
  try {
    const auto args = options.parse(argc, argv);
    if (args.count("help") || !args.count("command")) {
      std::cout << options.help() << "\n";
      return args.count("help") ? 0 : 2;
    }
    const std::string command = args["command"].as<std::string>();
    return runBench(command, args);
  } catch (const std::exception& e) {
    std::cerr << "rocker-bench: " << e.what() << "\n";
    return 1;
  }
}
