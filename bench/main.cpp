// rocker-bench: the benchmarks of the rocker bundle, run by scripts/bench.sh.
//
//   rocker-bench <latency|wire|cpu|memory|shutdown|watchdog> --transport tcp|rtu --out FILE
//   rocker-bench report --results DIR --output FILE
//
// Each benchmark loads librocker.so through the framework like a host, runs
// it against a real Modbus slave and the simulated robot, and writes its
// figures as JSON; `report` turns a folder of them into the Markdown page.
#include <cxxopts.hpp>
#include <exception>
#include <iostream>
#include <string>

#include "bench/bench_run.h"
#include "bench/cpu_bench.h"
#include "bench/latency_bench.h"
#include "bench/memory_bench.h"
#include "bench/report_writer.h"
#include "bench/rocker_rig.h"
#include "bench/shutdown_bench.h"
#include "bench/transport.h"
#include "bench/watchdog_bench.h"
#include "bench/wire_bench.h"

namespace {

using velk::bench::BenchRun;
using velk::bench::RigSettings;
using velk::bench::RockerRig;

cxxopts::Options makeOptions() {
  cxxopts::Options options("rocker-bench", "Benchmarks of the rocker bundle");
  options.add_options()("command", "latency, wire, cpu, memory, shutdown, watchdog or report",
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
      "results", "report: folder of JSON results", cxxopts::value<std::string>())(
      "output", "report: Markdown file to write", cxxopts::value<std::string>())("h,help",
                                                                                 "this text");
  options.parse_positional({"command"});
  options.positional_help("<command>");
  return options;
}

int runBench(const std::string& command, const cxxopts::ParseResult& args) {
  if (!args.count("out")) {
    std::cerr << "rocker-bench: --out is required\n";
    return 2;
  }
  RigSettings settings;
  settings.transport = velk::bench::parseTransport(args["transport"].as<std::string>());
  settings.bundle_path = args["bundle"].as<std::string>();
  const double window = args["window"].as<double>();
  const double growth = args["growth"].as<double>();
  // The slave outlives the longest run.
  settings.lifetime = std::chrono::seconds(static_cast<long>(growth + 10 * window) + 300);

  BenchRun run(command, settings.transport);
  {
    RockerRig rig(settings);
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
    if (command == "report") {
      if (!args.count("results") || !args.count("output")) {
        std::cerr << "rocker-bench: report needs --results and --output\n";
        return 2;
      }
      velk::bench::ReportWriter(args["results"].as<std::string>())
          .write(args["output"].as<std::string>());
      return 0;
    }
    return runBench(command, args);
  } catch (const std::exception& e) {
    std::cerr << "rocker-bench: " << e.what() << "\n";
    return 1;
  }
}
