#include "bench/report_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iomanip>
#include <limits>
#include <stdexcept>
#include <vector>

#include "joystick_sim/joystick_map.h"

namespace velk::bench {
namespace {

using Json = nlohmann::json;

const char* const kTransports[] = {"tcp", "rtu"};
// How far the latency may stray from the model, in milliseconds.
constexpr double kLatencyTolerance = 5.0;
// A dropped connection ends a jog within this, in milliseconds.
constexpr double kDroppedGoalMs = 150.0;

const char* upper(const std::string& transport) { return transport == "tcp" ? "TCP" : "RTU"; }

const Json& child(const Json& j, const char* key) {
  static const Json kMissing;
  if (!j.is_object()) return kMissing;
  const auto it = j.find(key);
  return it == j.end() ? kMissing : *it;
}

double num(const Json& j, std::initializer_list<const char*> path) {
  const Json* at = &j;
  for (const char* key : path) at = &child(*at, key);
  return at->is_number() ? at->get<double>() : std::numeric_limits<double>::quiet_NaN();
}

std::string text(const Json& j, const char* key) {
  const Json& value = child(j, key);
  return value.is_string() ? value.get_ref<const std::string&>() : std::string();
}

bool flag(const Json& j, std::initializer_list<const char*> path) {
  const Json* at = &j;
  for (const char* key : path) at = &child(*at, key);
  return at->is_boolean() && at->get<bool>();
}

std::string f(double value, int digits = 1) {
  if (std::isnan(value)) return "–";
  std::ostringstream out;
  out << std::fixed << std::setprecision(digits) << value;
  return out.str();
}

std::string mark(bool ok) { return ok ? "meets" : "**misses**"; }

// "min / median / p90 / p99 / max" cells of a stats object.
std::string statsCells(const Json& stats, int digits = 1) {
  return f(num(stats, {"min"}), digits) + " | " + f(num(stats, {"median"}), digits) + " | " +
         f(num(stats, {"p90"}), digits) + " | " + f(num(stats, {"p99"}), digits) + " | " +
         f(num(stats, {"max"}), digits);
}

std::string lightName(int function, int address) {
  using joystick_sim::JoystickMap;
  const std::string at = " " + std::to_string(address) + ")";
  if (function == 6 && address == JoystickMap::kIndicatorRegister) {
    return "indicator (holding register" + at;
  }
  if (function == 5 && address == JoystickMap::kPowerLightCoil)
    return "power button light (coil" + at;
  if (function == 5 && address == JoystickMap::kSpeedLightCoil)
    return "speed button light (coil" + at;
  return "function " + std::to_string(function) + " address " + std::to_string(address);
}

double perSecond(const Json& tally, const char* function) {
  const double rate = num(tally, {"functions", function, "requests_per_s"});
  return std::isnan(rate) ? 0.0 : rate;
}

}  // namespace

ReportWriter::ReportWriter(const std::string& results_folder) {
  for (const auto& entry : std::filesystem::directory_iterator(results_folder)) {
    if (entry.path().extension() != ".json") continue;
    std::ifstream in(entry.path());
    Json result = Json::parse(in);
    const std::string bench = text(result, "bench");
    const std::string transport = text(result, "transport");
    if (bench.empty() || transport.empty()) continue;
    // This page shows the default stick rate; runs at another rate stay in
    // their JSON files.
    const double stick_rate = num(result, {"stick_rate"});
    if (!std::isnan(stick_rate) && stick_rate != 10) continue;
    results_[{bench, transport}] = std::move(result);
  }
  if (results_.empty()) throw std::runtime_error("no results in " + results_folder);
}

const Json& ReportWriter::result(const std::string& bench, const std::string& transport) const {
  const auto it = results_.find({bench, transport});
  return it == results_.end() ? empty_ : it->second;
}

const Json& ReportWriter::figures(const std::string& bench, const std::string& transport) const {
  return child(result(bench, transport), "figures");
}

void ReportWriter::write(const std::string& path) const {
  std::ostringstream out;
  header(out);
  summary(out);
  latency(out);
  wire(out);
  rtuPass(out);
  cpu(out);
  memory(out);
  shutdown(out);
  watchdog(out);
  std::ofstream file(path);
  if (!file) throw std::runtime_error("cannot write " + path);
  file << out.str();
}

// ------------------------------------------------------------------ header

void ReportWriter::header(std::ostringstream& out) const {
  std::string first = "9999", last;
  const Json* machine = nullptr;
  for (const auto& entry : results_) {
    first = std::min(first, text(entry.second, "started_utc"));
    last = std::max(last, text(entry.second, "ended_utc"));
    machine = &child(entry.second, "machine");
  }
  out << "# Benchmarks\n\n"
      << "What the rocker bundle costs, how fast it follows the stick and how soon a jog ends\n"
      << "when the joystick goes quiet, measured by\n"
      << "`scripts/bench.sh` (programme `bench/rocker-bench`, optimised build in `build-bench`).\n"
      << "This page is written by the script; run it again to refresh every figure.\n\n"
      << "Measured " << first << " to " << last << " UTC.\n\n"
      << "## Machine\n\n"
      << "| | |\n|---|---|\n"
      << "| Processor | " << text(*machine, "cpu") << ", " << f(num(*machine, {"cores"}), 0)
      << " cores |\n"
      << "| Memory | " << text(*machine, "memory") << " |\n"
      << "| System | " << text(*machine, "kernel") << " |\n"
      << "| Compiler | " << text(*machine, "compiler") << " |\n"
      << "| Build | CMake Release (-O3), " << text(*machine, "build") << " |\n\n"
      << "The machine is shared: other work ran on the same cores during the runs. The load\n"
      << "average (1, 5, 15 minutes) at the start and the end of each benchmark:\n\n"
      << "| Benchmark | Transport | Started (UTC) | Load at start | Load at end |\n"
      << "|---|---|---|---|---|\n";
  for (const auto& entry : results_) {
    out << "| " << entry.first.first << " | " << upper(entry.first.second) << " | "
        << text(entry.second, "started_utc") << " | " << text(entry.second, "load_start") << " | "
        << text(entry.second, "load_end") << " |\n";
  }
  out << "\n## How the bundle is driven\n\n"
      << "Every figure comes from `librocker.so` loaded the way a host loads it: a\n"
      << "CppMicroServices framework (the stand-in of `standins/framework`), the bundle\n"
      << "installed from its file and started, its `ZorvControlExtension` service obtained,\n"
      << "and `start()` called with the simulated robot's API (`standins/robot`, running,\n"
      << "normal safety, idle program, simulated time following the steady clock), a log\n"
      << "callback that only counts, and the options `cycle = 0.01` and `device_info`\n"
      << "pointing at the joystick. Jogging is switched on with the power button as an\n"
      << "operator does. The joystick is a real libmodbus slave, unit 2, from the test\n"
      << "support library: on loopback TCP at a port the kernel picks, or Modbus RTU on a\n"
      << "socat pseudo-terminal pair at 115200 baud, 8N1.\n\n"
      << "The benchmark programme defines libmodbus's six master read and write functions\n"
      << "and the C allocator functions itself and forwards them to the libraries; the\n"
      << "bundle, loaded later, binds to them. So every request of the bundle's poll thread\n"
      << "is timed (request out to reply in) and every heap allocation is counted per thread,\n"
      << "without a change to the bundle. Thread CPU time and context switches come from\n"
      << "`/proc/self/task/<tid>/schedstat` and `status`; the bundle's threads are found by\n"
      << "name (`ROCKER Server`, `RockerModbusCli`). Percentiles are nearest-rank.\n\n";
}

// ----------------------------------------------------------------- summary

void ReportWriter::summary(std::ostringstream& out) const {
  out << "## Summary\n\n"
      << "| # | Figure | TCP | RTU | Goal | TCP verdict | RTU verdict |\n"
      << "|---|---|---|---|---|---|---|\n";
  const auto both = [&](const std::string& name, const std::string& tcp, const std::string& rtu,
                        const std::string& goal, const std::string& tcp_mark,
                        const std::string& rtu_mark, const char* number) {
    out << "| " << number << " | " << name << " | " << tcp << " | " << rtu << " | " << goal << " | "
        << tcp_mark << " | " << rtu_mark << " |\n";
  };
  const auto latencyCell = [&](const std::string& t, const char* kind) {
    const Json& l = child(figures("latency", t), kind);
    return f(num(l, {"median"})) + " / " + f(num(l, {"p99"})) + " / " + f(num(l, {"max"}));
  };
  const auto modelCell = [&](const char* kind) {
    std::string cell;
    for (const char* t : kTransports) {
      const Json& m = child(figures("latency", t), kind);
      cell += std::string(upper(t)) + " " + f(num(m, {"median"})) + " / " + f(num(m, {"p99"})) +
              " / " + f(num(m, {"max"})) + "; ";
    }
    return "model ±5 ms (" + cell.substr(0, cell.size() - 2) + "), max ≤ model + 5";
  };
  both("Push → `speedLine`, ms: median / p99 / max", latencyCell("tcp", "push"),
       latencyCell("rtu", "push"), modelCell("push_model"), mark(latencyMeets("tcp", "push")),
       mark(latencyMeets("rtu", "push")), "1");
  both("Release → `stopLine`, ms: median / p99 / max", latencyCell("tcp", "release"),
       latencyCell("rtu", "release"), modelCell("release_model"),
       mark(latencyMeets("tcp", "release")), mark(latencyMeets("rtu", "release")), "1");
  const auto restCell = [&](const std::string& t) {
    const Json& rest = child(figures("wire", t), "rest");
    return f(num(rest, {"bundle", "requests_per_s"})) + " req/s, " +
           f(num(rest, {"bundle", "bytes_per_s"}), 0) + " B/s";
  };
  both("Bus load at rest (and while jogging: the same)", restCell("tcp"), restCell("rtu"),
       "one read per group and group period, light writes only until confirmed",
       mark(batchedMinimum("tcp")), mark(batchedMinimum("rtu")), "2");
  const auto ratioCell = [&](const std::string& t) {
    const Json& rest = child(figures("wire", t), "rest");
    return f(num(rest, {"request_ratio"})) + "× requests, " + f(num(rest, {"byte_ratio"})) +
           "× bytes";
  };
  both("One request per signal at 10 Hz, against the bundle", ratioCell("tcp"), ratioCell("rtu"),
       "the ratio is the figure", "", "", "2");
  both("Group pass I/O ÷ its wire time at 115200 baud (median)", "–",
       f(num(figures("wire", "rtu"), {"rest", "passes", "io_over_wire", "median"}), 2),
       "the ratio is the figure (a pty is not paced, see 3)", "", "", "3");
  const auto cpuCell = [&](const std::string& t) {
    const Json& c = figures("cpu", t);
    return f(num(c, {"cpu_percent_of_core"}), 2) + " %, " + f(num(c, {"wakeups_per_s"}), 0) +
           " wake-ups/s";
  };
  both("CPU of the bundle's threads at rest, % of one core", cpuCell("tcp"), cpuCell("rtu"),
       "< 1 %", mark(cpuMeets("tcp")), mark(cpuMeets("rtu")), "4");
  const auto rssCell = [&](const std::string& t) {
    return f(num(figures("memory", t), {"added_in_total", "rss_kb"}), 0) + " kB";
  };
  both("Resident size added by loading and starting", rssCell("tcp"), rssCell("rtu"), "–", "", "",
       "5");
  const auto allocCell = [&](const std::string& t) {
    const Json& m = figures("memory", t);
    return f(num(m, {"at_rest", "task_allocations_per_cycle"})) + " per cycle, " +
           f(num(m, {"at_rest", "poll_allocations_per_pass"}), 2) + " per poll pass";
  };
  both("Heap allocations at rest", allocCell("tcp"), allocCell("rtu"), "–", "", "", "5");
  const auto growthCell = [&](const std::string& t) {
    const Json& g = child(figures("memory", t), "growth");
    return f(num(g, {"live_blocks", "last"}) - num(g, {"live_blocks", "first"}), 0) +
           " blocks over " + f(num(g, {"seconds"}) / 60.0) + " min";
  };
  both("Heap growth over the run (live blocks, after warm-up)", growthCell("tcp"),
       growthCell("rtu"), "no growth", mark(noGrowth("tcp")), mark(noGrowth("rtu")), "5");
  const auto stopCell = [&](const std::string& t) {
    const Json& s = figures("shutdown", t);
    return f(num(s, {"stop_ms", "median"})) + " / " + f(num(s, {"stop_ms", "max"}));
  };
  both("`stop()`, ms: median / max", stopCell("tcp"), stopCell("rtu"), "≤ one cycle (10 ms)",
       mark(stopMeets("tcp")), mark(stopMeets("rtu")), "6");
  const auto releaseCell = [&](const std::string& t) {
    const Json& s = figures("shutdown", t);
    return f(num(s, {"release_ms", "median"})) + " / " + f(num(s, {"release_ms", "max"}));
  };
  both("Release of the extension, ms: median / max", releaseCell("tcp"), releaseCell("rtu"),
       "≤ one poll pass + 10 ms (TCP " + f(releaseGoalMs("tcp")) + ", RTU " +
           f(releaseGoalMs("rtu")) + ")",
       mark(releaseMeets("tcp")), mark(releaseMeets("rtu")), "6");
  const auto watchdogCell = [&](const std::string& t, const char* part, const char* key) {
    const Json& w = child(figures("watchdog", t), part);
    return f(num(w, {key, "median"})) + " / " + f(num(w, {key, "max"}));
  };
  both("Joystick silent → `stopLine`, ms from its last reply: median / max",
       watchdogCell("tcp", "silent", "from_stick_reply_ms"),
       watchdogCell("rtu", "silent", "from_stick_reply_ms"),
       "≤ input_timeout + two cycles (" + f(silentGoalMs("tcp"), 0) + ")", mark(silentMeets("tcp")),
       mark(silentMeets("rtu")), "7");
  both("Connection dropped → `stopLine`, ms: median / max",
       watchdogCell("tcp", "dropped", "from_drop_ms"),
       watchdogCell("rtu", "dropped", "from_drop_ms"), "≤ " + f(kDroppedGoalMs, 0),
       mark(droppedMeets("tcp")), mark(droppedMeets("rtu")), "7");
  out << "\n";
}

// ----------------------------------------------------------------- verdicts

bool ReportWriter::latencyMeets(const std::string& transport, const char* kind) const {
  const Json& l = figures("latency", transport);
  const std::string model_key = std::string(kind) + "_model";
  const Json& measured = child(l, kind);
  const Json& model = child(l, model_key.c_str());
  const double median = num(measured, {"median"}), model_median = num(model, {"median"});
  const double p99 = num(measured, {"p99"}), model_p99 = num(model, {"p99"});
  return std::fabs(median - model_median) <= kLatencyTolerance &&
         std::fabs(p99 - model_p99) <= kLatencyTolerance &&
         num(measured, {"max"}) <= num(model, {"max"}) + kLatencyTolerance &&
         num(l, {"failures"}) == 0.0;
}

bool ReportWriter::batchedMinimum(const std::string& transport) const {
  const Json& w = figures("wire", transport);
  if (!w.is_object()) return false;
  for (const char* window : {"rest", "jogging"}) {
    const Json& x = child(w, window);
    const double passes = num(x, {"group_passes"});
    // Reads per group pass: exactly one per group; a window edge may cut one.
    for (const char* function : {"1", "3", "4"}) {
      const double reads = num(x, {"bundle", "functions", function, "requests"});
      if (std::isnan(reads) || std::fabs(reads - passes) > 1.0) return false;
    }
    const double requests = num(x, {"bundle", "requests"});
    const double reads = num(x, {"bundle", "functions", "1", "requests"}) +
                         num(x, {"bundle", "functions", "3", "requests"}) +
                         num(x, {"bundle", "functions", "4", "requests"});
    if (requests != reads) return false;  // writes or other requests at rest
    const Json& spans_1 = child(child(child(child(x, "bundle"), "functions"), "1"), "spans");
    const Json& spans_4 = child(child(child(child(x, "bundle"), "functions"), "4"), "spans");
    if (spans_1.size() != 1 || !spans_1.contains("18")) return false;
    if (spans_4.size() != 1 || !spans_4.contains("9")) return false;
  }
  return num(w, {"light_writes", "wasted_writes"}) == 0.0;
}

bool ReportWriter::cpuMeets(const std::string& transport) const {
  return num(figures("cpu", transport), {"cpu_percent_of_core"}) < 1.0;
}

bool ReportWriter::noGrowth(const std::string& transport) const {
  const Json& g = child(figures("memory", transport), "growth");
  if (!g.is_object() || num(g, {"samples"}) < 4) return false;
  return !flag(g, {"live_blocks", "climbs"}) && !flag(g, {"heap_in_use", "climbs"});
}

bool ReportWriter::stopMeets(const std::string& transport) const {
  const Json& s = figures("shutdown", transport);
  return num(s, {"stop_ms", "max"}) <= num(s, {"cycle_ms"}) &&
         num(s, {"task_thread_alive_after_stop"}) == 0.0;
}

double ReportWriter::releaseGoalMs(const std::string& transport) const {
  const Json& s = figures("shutdown", transport);
  return num(s, {"group_pass_io_ms", "max"}) + num(s, {"poll_sleep_ms"});
}

bool ReportWriter::releaseMeets(const std::string& transport) const {
  const Json& s = figures("shutdown", transport);
  return num(s, {"release_ms", "max"}) <= releaseGoalMs(transport) &&
         num(s, {"poll_thread_alive_after_release"}) == 0.0;
}

double ReportWriter::silentGoalMs(const std::string& transport) const {
  const Json& w = figures("watchdog", transport);
  return num(w, {"input_timeout_ms"}) + 2.0 * num(w, {"cycle_ms"});
}

bool ReportWriter::silentMeets(const std::string& transport) const {
  const Json& s = child(figures("watchdog", transport), "silent");
  return num(s, {"from_stick_reply_ms", "count"}) > 0 && num(s, {"failures"}) == 0.0 &&
         num(s, {"extra_stop_lines"}) == 0.0 &&
         num(s, {"from_stick_reply_ms", "max"}) <= silentGoalMs(transport);
}

bool ReportWriter::droppedMeets(const std::string& transport) const {
  const Json& d = child(figures("watchdog", transport), "dropped");
  return num(d, {"from_drop_ms", "count"}) > 0 && num(d, {"failures"}) == 0.0 &&
         num(d, {"extra_stop_lines"}) == 0.0 && num(d, {"from_drop_ms", "max"}) <= kDroppedGoalMs;
}

// ----------------------------------------------------------------- latency

void ReportWriter::latency(std::ostringstream& out) const {
  out << "## 1. Latency from stick to robot\n\n"
      << "**How.** Driven through the framework. Each jog waits a part of a group period,\n"
      << "sets input register 256 (x) at the slave to +500 or −500, and waits for\n"
      << "`speedLine` at the robot; then it waits 5 ms plus a part of a group period, sets\n"
      << "x back to 0 and waits for `stopLine`. The latency runs from the moment the\n"
      << "slave holds the new value to the steady-clock stamp the simulated robot puts on\n"
      << "the command. The parts step through the group period in a golden-ratio sequence,\n"
      << "so the changes fall evenly over the poll schedule, as an operator's hand does at\n"
      << "random but without the clumps of random draws. Every push comes more than 200 ms after "
         "the last stop,\n"
      << "so no start waits out the bundle's 100 ms pause between jogs (the count of starts\n"
      << "that did anyway is given as \"paused\").\n\n"
      << "**The model.** The stick registers are read once per group period P: ten poll\n"
      << "passes, each its I/O plus a 10 ms sleep. A change waits U, uniform in [0, P), for\n"
      << "the next read, plus the read's round trip d; then V, uniform in [0, c), for the\n"
      << "next cycle of the periodic task (c = 10 ms). A push needs one more cycle: the\n"
      << "first cycle that sees it only arms, the next sees two steady values and starts.\n"
      << "A release stops in the first cycle that sees the drop. So push = U + d + V + c,\n"
      << "release = U + d + V. The quantiles below are those of that distribution at the\n"
      << "run's mean group period and median read time; the maximum takes the longest\n"
      << "group period and read of the run. P, d and their spread come from the same run's\n"
      << "poll thread.\n\n"
      << "**Goal.** Median and 99th percentile within 5 ms of the model; nothing above the\n"
      << "model's maximum plus 5 ms.\n\n";
  for (const char* t : kTransports) {
    const Json& l = figures("latency", t);
    if (!l.is_object()) continue;
    out << "### " << upper(t) << "\n\n"
        << f(num(l, {"jogs"}), 0) << " jogs, " << f(num(l, {"failures"}), 0)
        << " without a command within 3 s, " << f(num(l, {"paused_starts"}), 0)
        << " paused. Group period P: mean " << f(num(l, {"group_period_ms", "mean"}), 2) << " ms ("
        << f(num(l, {"group_period_ms", "min"}), 2) << " to "
        << f(num(l, {"group_period_ms", "max"}), 2) << "); stick read d: median "
        << f(num(l, {"stick_read_ms", "median"}), 3) << " ms, max "
        << f(num(l, {"stick_read_ms", "max"}), 3) << " ms; I/O of a group pass: median "
        << f(num(l, {"group_pass_io_ms", "median"}), 3) << " ms.\n\n"
        << "| ms | min | median | p90 | p99 | max | verdict |\n"
        << "|---|---|---|---|---|---|---|\n"
        << "| push → `speedLine`, measured | " << statsCells(child(l, "push")) << " | "
        << mark(latencyMeets(t, "push")) << " |\n"
        << "| push → `speedLine`, model | " << statsCells(child(l, "push_model")) << " | |\n"
        << "| release → `stopLine`, measured | " << statsCells(child(l, "release")) << " | "
        << mark(latencyMeets(t, "release")) << " |\n"
        << "| release → `stopLine`, model | " << statsCells(child(l, "release_model")) << " | |\n\n"
        << "Where the time goes: each measured latency split at the read of the stick group\n"
        << "that carried the change (from the timed requests).\n\n"
        << "| ms | model | min | median | p90 | p99 | max |\n"
        << "|---|---|---|---|---|---|---|\n"
        << "| push: wait for the read (U) | 0 to P | "
        << statsCells(child(child(l, "push_breakdown"), "wait_ms")) << " |\n"
        << "| push: read (d) | d | " << statsCells(child(child(l, "push_breakdown"), "read_ms"), 3)
        << " |\n"
        << "| push: decision (V + c) | 10 to 20 | "
        << statsCells(child(child(l, "push_breakdown"), "decide_ms")) << " |\n"
        << "| release: wait for the read (U) | 0 to P | "
        << statsCells(child(child(l, "release_breakdown"), "wait_ms")) << " |\n"
        << "| release: read (d) | d | "
        << statsCells(child(child(l, "release_breakdown"), "read_ms"), 3) << " |\n"
        << "| release: decision (V) | 0 to 10 | "
        << statsCells(child(child(l, "release_breakdown"), "decide_ms")) << " |\n\n";
    const double unsplit =
        num(l, {"push_breakdown", "unexplained"}) + num(l, {"release_breakdown", "unexplained"});
    if (unsplit > 0) {
      out << f(unsplit, 0) << " of the samples could not be split: no read ended after the "
          << "change and at least the decision's whole cycles before the command (a cycle that "
          << "took its snapshot as the read was completing). They are in the figures above.\n\n";
    }
    for (const char* kind : {"push", "release"}) {
      if (!latencyMeets(t, kind)) latencyWhy(out, t, kind);
    }
  }
}

void ReportWriter::latencyWhy(std::ostringstream& out, const std::string& transport,
                              const std::string& kind) const {
  const Json& l = figures("latency", transport);
  const Json& measured = child(l, kind.c_str());
  const Json& model = child(l, (kind + "_model").c_str());
  const Json& b = child(l, (kind + "_breakdown").c_str());
  const double bound = num(b, {"decide_model_max_ms"});
  const double decide_max = num(b, {"decide_ms", "max"});
  const double wait_max = num(b, {"wait_ms", "max"});
  const double longest_period = num(l, {"group_period_ms", "max"});
  bool high = false, low = false;
  for (const char* stat : {"median", "p99"}) {
    const double gap = num(measured, {stat}) - num(model, {stat});
    high = high || gap > kLatencyTolerance;
    low = low || gap < -kLatencyTolerance;
  }
  high = high || num(measured, {"max"}) > num(model, {"max"}) + kLatencyTolerance;
  out << "**Why the " << kind << " misses over " << upper(transport) << ".** Measured median "
      << f(num(measured, {"median"})) << ", p99 " << f(num(measured, {"p99"})) << ", max "
      << f(num(measured, {"max"})) << " ms against the model's " << f(num(model, {"median"}))
      << ", " << f(num(model, {"p99"})) << ", " << f(num(model, {"max"})) << ".";
  if (num(l, {"failures"}) > 0) {
    out << " " << f(num(l, {"failures"}), 0) << " changes brought no command within 3 s.";
  }
  if (high) {
    out << " The decision after the carrying read, which the model bounds by " << f(bound, 0)
        << " ms, reached p99 " << f(num(b, {"decide_ms", "p99"})) << " and max " << f(decide_max)
        << " ms; the wait for the read reached " << f(wait_max)
        << " ms against the longest group period of " << f(longest_period) << " ms.";
    if (decide_max > bound + 1.0) {
      out << " So the periodic task thread ran up to " << f(decide_max - bound)
          << " ms after its period began: on this shared, loaded machine a 10 ms thread is not "
          << "always given a processor on time (the yardstick threads in 4 pay the same).";
    }
    if (decide_max <= bound + 1.0 && wait_max <= longest_period + 1.0) {
      out << " Both parts stayed within what the model allows; the figure is high because the "
          << "changes fell later in the poll schedule than an even spread would put them (median "
          << "wait for the read " << f(num(b, {"wait_ms", "median"})) << " ms against half a "
          << "group period, " << f(num(l, {"group_period_ms", "mean"}) / 2.0) << " ms).";
    }
    if (wait_max > longest_period + 1.0) {
      out << " The read itself came later than one group period after the change: the poll "
          << "thread, too, was held up.";
    }
  }
  if (low) {
    out << " Part of the miss is below the model, not above: the changes fell earlier in the "
        << "poll schedule than an even spread would put them (median wait for the read "
        << f(num(b, {"wait_ms", "median"})) << " ms against half a group period, "
        << f(num(l, {"group_period_ms", "mean"}) / 2.0) << " ms), and with "
        << f(num(measured, {"count"}), 0) << " samples the 99th percentile rests on the "
        << "largest two or three of them. Nothing in the bundle makes it faster than the model.";
  }
  out << "\n\n";
}

// -------------------------------------------------------------------- wire

void ReportWriter::wire(std::ostringstream& out) const {
  out << "## 2. Requests and bytes on the wire\n\n"
      << "**How.** Driven through the framework. The slave logs every request it receives;\n"
      << "requests are counted by function code over a window at rest (jogging on, stick\n"
      << "centred) and over one while a jog is held. Bytes are the frames' sizes on the wire\n"
      << "for normal replies: TCP counts the 7-byte MBAP header and the PDU (not the TCP/IP\n"
      << "headers of the segments), RTU the address, the PDU and the check sum. Group passes\n"
      << "(passes that read the stick group) come from the timed requests of the poll thread.\n"
      << "In the same run, beside the rest window, a simple poller reads the same 16 signals\n"
      << "one request per signal, 10 times a second (six function 1 reads of one coil, nine\n"
      << "function 4 reads of one input register, one function 3 read), against a second\n"
      << "slave on the same transport.\n\n"
      << "**The batched minimum.** The 16 signals form three groups: coils 0 to 17 (one\n"
      << "function 1 read of 18 bits), input registers 256 to 264 (one function 4 read of 9\n"
      << "registers), holding register 512 (one function 3 read). So one read of each per\n"
      << "group period and no writes while no light changes; a light write is repeated on\n"
      << "every poll pass until the next read of its group confirms it, and not after.\n\n";
  for (const char* t : kTransports) {
    const Json& w = figures("wire", t);
    if (!w.is_object()) continue;
    const Json& rest = child(w, "rest");
    const Json& jog = child(w, "jogging");
    const Json& simple = child(rest, "simple_poller");
    out << "### " << upper(t) << " — " << mark(batchedMinimum(t)) << "\n\n"
        << "| per second | at rest | jogging | simple poller |\n|---|---|---|---|\n";
    for (const char* function : {"1", "2", "3", "4", "5", "6"}) {
      const double a = perSecond(child(rest, "bundle"), function);
      const double b = perSecond(child(jog, "bundle"), function);
      const double c = perSecond(simple, function);
      if (a == 0.0 && b == 0.0 && c == 0.0) continue;
      out << "| function " << function << " requests | " << f(a, 2) << " | " << f(b, 2) << " | "
          << f(c, 2) << " |\n";
    }
    out << "| all requests | " << f(num(rest, {"bundle", "requests_per_s"}), 2) << " | "
        << f(num(jog, {"bundle", "requests_per_s"}), 2) << " | "
        << f(num(simple, {"requests_per_s"}), 2) << " |\n"
        << "| bytes (requests and replies) | " << f(num(rest, {"bundle", "bytes_per_s"}), 0)
        << " | " << f(num(jog, {"bundle", "bytes_per_s"}), 0) << " | "
        << f(num(simple, {"bytes_per_s"}), 0) << " |\n\n"
        << "Windows of " << f(num(rest, {"bundle", "seconds"}))
        << " s: " << f(num(rest, {"group_passes"}), 0)
        << " group passes at rest, reads per group pass "
        << "(functions 1 / 3 / 4): " << f(num(rest, {"per_group_pass", "1"}), 2) << " / "
        << f(num(rest, {"per_group_pass", "3"}), 2) << " / "
        << f(num(rest, {"per_group_pass", "4"}), 2) << "; while jogging "
        << f(num(jog, {"group_passes"}), 0) << " group passes, "
        << f(num(jog, {"per_group_pass", "1"}), 2) << " / "
        << f(num(jog, {"per_group_pass", "3"}), 2) << " / "
        << f(num(jog, {"per_group_pass", "4"}), 2)
        << (flag(jog, {"jog_held_throughout"}) ? " (the jog ran throughout)" : "")
        << ". The requests per second are 3 ÷ P, a little under 30 because the group period "
        << "is a little over 100 ms (1). The simple poller, " << f(num(simple, {"rounds"}), 0)
        << " rounds, makes **" << f(num(rest, {"request_ratio"}), 2) << "×** the requests and **"
        << f(num(rest, {"byte_ratio"}), 2) << "×** the bytes of the bundle.\n\n"
        << "Light writes from the start through switching jogging on and two presses of the "
        << "speed button:\n\n"
        << "| light | value | writes | confirmed | writes after confirmation |\n"
        << "|---|---|---|---|---|\n";
    for (const Json& e : child(child(w, "light_writes"), "episodes")) {
      out << "| "
          << lightName(static_cast<int>(num(e, {"function"})),
                       static_cast<int>(num(e, {"address"})))
          << " | " << f(num(e, {"value"}), 0) << " | " << f(num(e, {"writes"}), 0) << " | "
          << (flag(e, {"confirmed"}) ? "yes" : "no") << " | "
          << f(num(e, {"writes_after_confirmation"}), 0) << " |\n";
    }
    out << "\n";
  }
  double fewest = 1e9, most = 0, wasted = 0;
  for (const char* t : kTransports) {
    const Json& lights = child(figures("wire", t), "light_writes");
    wasted += num(lights, {"wasted_writes"});
    for (const Json& e : child(lights, "episodes")) {
      fewest = std::min(fewest, num(e, {"writes"}));
      most = std::max(most, num(e, {"writes"}));
    }
  }
  if (most > 0) {
    out << "A light change cost " << f(fewest, 0) << " to " << f(most, 0)
        << " writes although the first one already sets it: the write goes out on every\n"
        << "poll pass until the light's group is read again, and a group is read every tenth\n"
        << "pass. A button change is seen through that same coil group read, so its light is\n"
        << "queued just after a read and written on the passes before the next one, nine at\n"
        << "most. That is the design's confirm-by-reading; "
        << (wasted == 0.0 ? "no write followed the confirming read."
                          : "but " + f(wasted, 0) + " writes followed the confirming read.")
        << "\n\n";
  }
}

// ---------------------------------------------------------------- RTU pass

void ReportWriter::rtuPass(std::ostringstream& out) const {
  const Json& rtu = child(child(figures("wire", "rtu"), "rest"), "passes");
  const Json& tcp = child(child(figures("wire", "tcp"), "rest"), "passes");
  out << "## 3. RTU: I/O of a poll pass against the wire\n\n"
      << "**How.** From the rest window of 2: the I/O of each group pass (first request out\n"
      << "to last reply in, timed at libmodbus) against the time its frames take on a line at\n"
      << "115200 baud, 10 bit times per byte, without the silent intervals between frames.\n\n";
  if (!rtu.is_object()) return;
  const double wire = num(rtu, {"wire_ms_at_115200", "median"});
  const double io = num(rtu, {"io_ms", "median"});
  out << "| ms | min | median | p90 | p99 | max |\n|---|---|---|---|---|---|\n"
      << "| RTU group pass I/O | " << statsCells(child(rtu, "io_ms"), 2) << " |\n"
      << "| its wire time at 115200 baud | " << statsCells(child(rtu, "wire_ms_at_115200"), 2)
      << " |\n"
      << "| ratio I/O ÷ wire | " << statsCells(child(rtu, "io_over_wire"), 2) << " |\n"
      << "| TCP group pass I/O, for comparison | " << statsCells(child(tcp, "io_ms"), 2) << " |\n\n"
      << "| RTU request | I/O median, ms | wire time, ms |\n|---|---|---|\n";
  for (const auto& [function, c] : child(rtu, "by_function").items()) {
    out << "| function " << function << " | " << f(num(c, {"io_ms", "median"}), 2) << " | "
        << f(num(c, {"wire_ms_at_115200"}), 2) << " |\n";
  }
  out << "\nThe figure: a group pass takes **" << f(io / wire, 2) << "×** its wire time (median "
      << f(io, 2) << " ms against " << f(wire, 2) << " ms). It is below 1 because a\n"
      << "pseudo-terminal does not pace bytes at the baud rate: they cross at memory speed, so\n"
      << "what is measured is the software's share alone (libmodbus, socat relaying, the\n"
      << "slave). On a real line at 115200 baud the pass cannot take less than the wire time,\n"
      << "so it would take about " << f(wire + io, 1) << " ms (" << f((wire + io) / wire, 2)
      << "× the physical limit), plus the slave's turnaround and whatever silent interval the\n"
      << "line keeps between frames. The bundle's requests leave back to back: nothing of\n"
      << "its own waits between them.";
  if (num(rtu, {"io_ms", "max"}) > 3.0 * io) {
    const bool rare = num(rtu, {"io_ms", "p90"}) <= 2.0 * io;
    out << (rare ? " The rare slow passes" : " The slow passes") << " (p90 "
        << f(num(rtu, {"io_ms", "p90"}), 2) << " ms, max " << f(num(rtu, {"io_ms", "max"}), 2)
        << " ms) are the loaded machine running the relay or the slave late: the pty carries "
        << "the same bytes every time.";
  }
  out << "\n\n";
}

// --------------------------------------------------------------------- CPU

void ReportWriter::cpu(std::ostringstream& out) const {
  out << "## 4. CPU time and wake-ups\n\n"
      << "**How.** Driven through the framework, joystick connected, jogging switched on,\n"
      << "stick at rest. The processor time of the bundle's two threads, the periodic task\n"
      << "thread and the Modbus poll thread, over a window, divided by the wall time;\n"
      << "wake-ups are voluntary context switches (sleeps, waits for replies). The host's\n"
      << "robot API calls run on the task thread, so they are in the figure. To see what is\n"
      << "whose, two yardstick threads of the benchmark run beside the bundle on the same\n"
      << "10 ms grid: one that does nothing but wake, and one that replays the host API\n"
      << "calls the bundle made per cycle (recorded from the simulated robot: "
      << "`getRobotNames`, `getRobotInterface`, state queries).\n\n"
      << "**Goal.** Under 1 % of one core.\n\n"
      << "| | TCP | RTU |\n|---|---|---|\n";
  const auto row = [&](const std::string& name,
                       const std::function<std::string(const Json&)>& cell) {
    out << "| " << name << " | " << cell(figures("cpu", "tcp")) << " | "
        << cell(figures("cpu", "rtu")) << " |\n";
  };
  row("**bundle, % of one core**",
      [](const Json& c) { return "**" + f(num(c, {"cpu_percent_of_core"}), 2) + "**"; });
  row("verdict", [&](const Json& c) { return mark(num(c, {"cpu_percent_of_core"}) < 1.0); });
  row("wake-ups per second", [](const Json& c) { return f(num(c, {"wakeups_per_s"}), 0); });
  row("task thread: %, µs per cycle, wake-ups/s", [](const Json& c) {
    return f(num(c, {"task_thread", "cpu_percent_of_core"}), 2) + ", " +
           f(num(c, {"task_cpu_us_per_cycle"})) + ", " +
           f(num(c, {"task_thread", "wakeups_per_s"}), 0);
  });
  row("poll thread: %, µs per wake-up, wake-ups/s", [](const Json& c) {
    return f(num(c, {"poll_thread", "cpu_percent_of_core"}), 2) + ", " +
           f(num(c, {"poll_cpu_us_per_wakeup"})) + ", " +
           f(num(c, {"poll_thread", "wakeups_per_s"}), 0);
  });
  row("yardstick: empty 100 Hz thread, µs per wake-up", [](const Json& c) {
    return f(num(c, {"idle_100hz_thread", "cpu_us_per_wakeup"}));
  });
  row("yardstick: host API calls at 100 Hz, µs per cycle", [](const Json& c) {
    return f(num(c, {"host_calls_100hz_thread", "cpu_us_per_cycle"}));
  });
  row("host API calls in a tight loop, µs per cycle", [](const Json& c) {
    return f(num(c, {"host_api", "warm_cpu_us_per_cycle"}));
  });
  row("host API calls per cycle", [](const Json& c) {
    return f(num(c, {"host_api", "replayed_calls_per_cycle"}));
  });
  out << "\n";
  for (const char* t : kTransports) {
    const Json& c = figures("cpu", t);
    if (!c.is_object()) continue;
    const double total = num(c, {"cpu_percent_of_core"});
    const double idle_us = num(c, {"idle_100hz_thread", "cpu_us_per_wakeup"});
    const double host_us = num(c, {"host_calls_100hz_thread", "cpu_us_per_cycle"}) - idle_us;
    const double task_us = num(c, {"task_cpu_us_per_cycle"});
    const double poll_us = num(c, {"poll_cpu_us_per_wakeup"});
    const double floor =
        (num(c, {"task_thread", "wakeups_per_s"}) + num(c, {"poll_thread", "wakeups_per_s"})) *
        idle_us / 1e4;
    const double host = host_us * 100.0 / 1e4;
    out << "**" << upper(t) << ".** Of the " << f(total, 2) << " %: about " << f(floor, 2)
        << " % is the price of waking " << f(num(c, {"wakeups_per_s"}), 0) << " times a second at "
        << f(idle_us) << " µs a wake-up, which the empty yardstick "
        << "pays too; about " << f(host, 2) << " % is the host API calls (" << f(host_us)
        << " µs a cycle when run cold like this, against "
        << f(num(c, {"host_api", "warm_cpu_us_per_cycle"})) << " µs warm); the rest, about "
        << f(total - floor - host, 2)
        << " %, is the bundle's own work: " << f(task_us - idle_us - host_us)
        << " µs per task cycle and " << f(poll_us - idle_us)
        << " µs per poll pass beyond the wake-up.";
    if (total >= 1.0) {
      out << " **It misses the goal** because both threads run at 100 Hz by design (a 10 ms "
          << "task and a poll pass every 10 ms plus I/O), and on this machine a wake-up alone "
          << "costs " << f(idle_us) << " µs, as the empty yardstick shows; each cycle then "
          << "starts with cold caches, which is why the host calls cost "
          << f(host_us / num(c, {"host_api", "warm_cpu_us_per_cycle"}), 0)
          << "× their warm time. Every cycle also copies the registry's names, values and "
          << "errors (16 entries each, several names longer than the short-string buffer) and "
          << "asks the host three times for the robot handle. Both are kept: the registry "
          << "hands out copies so the task never reads a value the poll thread is writing, and "
          << "every use of the robot asks the host anew so a robot that goes away is seen at "
          << "once; together they are the smaller part of the figure.";
    }
    out << "\n\n";
  }
}

// ------------------------------------------------------------------ memory

void ReportWriter::memory(std::ostringstream& out) const {
  out << "## 5. Memory\n\n"
      << "**How.** Driven through the framework. Resident size from `/proc/self/status`:\n"
      << "before the bundle is started (framework running, bundle installed, joystick and\n"
      << "robot up; the benchmark itself already maps libmodbus and the C++ runtime), after\n"
      << "starting the bundle (library loaded, activator run, service registered), and after\n"
      << "`start()`, the joystick read and jogging switched on. Heap in use from `mallinfo2`.\n"
      << "Allocations per thread from the counting allocator: per task cycle, and per poll\n"
      << "pass (ten passes per group period). The growth run repeats 3 s jogs (push, hold\n"
      << "1 s, release, rest) and samples at the same point of a jog; the benchmark keeps\n"
      << "its own records bounded, so what would grow is the bundle's. The first fifth of\n"
      << "the samples is warm-up. \"Climbs\" means the later half of the samples lies wholly\n"
      << "above everything the earlier half reached.\n\n"
      << "**Goal.** No growth.\n\n"
      << "| | TCP | RTU |\n|---|---|---|\n";
  const auto row = [&](const std::string& name,
                       const std::function<std::string(const Json&)>& cell) {
    out << "| " << name << " | " << cell(figures("memory", "tcp")) << " | "
        << cell(figures("memory", "rtu")) << " |\n";
  };
  const auto step = [](const char* key) {
    return [key](const Json& m) {
      return f(num(m, {key, "rss_kb"}), 0) + " kB (files " + f(num(m, {key, "rss_file_kb"}), 0) +
             ", anonymous " + f(num(m, {key, "rss_anon_kb"}), 0) + "); heap " +
             f(num(m, {key, "heap_in_use"}) / 1024.0) + " kB in " +
             f(num(m, {key, "live_blocks"}), 0) + " blocks";
    };
  };
  row("resident before", [](const Json& m) {
    return f(num(m, {"before_load", "rss_kb"}), 0) + " kB";
  });
  row("added by loading the bundle", step("added_by_load"));
  row("added by starting it", step("added_by_start"));
  row("**added in total**", step("added_in_total"));
  row("task thread allocations per cycle, at rest / jogging", [](const Json& m) {
    return f(num(m, {"at_rest", "task_allocations_per_cycle"})) + " / " +
           f(num(m, {"jogging", "task_allocations_per_cycle"})) + " (" +
           f(num(m, {"at_rest", "task_bytes_per_cycle"}), 0) + " / " +
           f(num(m, {"jogging", "task_bytes_per_cycle"}), 0) + " bytes)";
  });
  out << "| of them in the host API calls (replayed, see 4) | "
      << f(num(figures("cpu", "tcp"), {"host_api", "allocations_per_cycle"})) << " | "
      << f(num(figures("cpu", "rtu"), {"host_api", "allocations_per_cycle"})) << " |\n";
  row("poll thread allocations per pass, at rest / jogging", [](const Json& m) {
    return f(num(m, {"at_rest", "poll_allocations_per_pass"}), 2) + " / " +
           f(num(m, {"jogging", "poll_allocations_per_pass"}), 2) + " (" +
           f(num(m, {"at_rest", "poll_allocations_per_group_period"})) + " per group period)";
  });
  row("growth run", [](const Json& m) {
    const Json& g = child(m, "growth");
    return f(num(g, {"seconds"}) / 60.0) + " min, " + f(num(g, {"jogs"}), 0) + " jogs, " +
           f(num(g, {"samples"}), 0) + " samples, " + f(num(g, {"failures"}), 0) + " failed";
  });
  for (const char* key : {"live_blocks", "heap_in_use", "rss_kb"}) {
    const std::string name = std::string(key) == "live_blocks"   ? "live heap blocks"
                             : std::string(key) == "heap_in_use" ? "heap in use, bytes"
                                                                 : "resident, kB";
    row(name + ": first → last (min–max), slope per minute, climbs", [key](const Json& m) {
      const Json& s = child(child(m, "growth"), key);
      return f(num(s, {"first"}), 0) + " → " + f(num(s, {"last"}), 0) + " (" +
             f(num(s, {"min"}), 0) + "–" + f(num(s, {"max"}), 0) + "), " +
             f(num(s, {"slope_per_minute"})) + ", " + (flag(s, {"climbs"}) ? "**yes**" : "no");
    });
  }
  row("verdict", [&](const Json& m) {
    const Json& g = child(m, "growth");
    const bool ok = g.is_object() && num(g, {"samples"}) >= 4 &&
                    !flag(g, {"live_blocks", "climbs"}) && !flag(g, {"heap_in_use", "climbs"});
    return mark(ok);
  });
  out << "\nThe task thread's allocations per cycle come from what the design hands over by\n"
      << "value: every cycle the registry's names, values and error states are copied out as\n"
      << "vectors (names longer than 15 characters, such as \"get_firmware_version\", leave\n"
      << "the short-string buffer), the robot handle is asked for three times, and while a\n"
      << "jog runs the centred and steadiness checks take their value maps by value. The poll\n"
      << "thread copies its device table once per pass: a map node, plus the device name when\n"
      << "it is longer than 15 characters (the RTU device's path is, \"127.0.0.1:<port>\" is\n"
      << "not), which is why RTU shows about one allocation more per pass; the group pass adds\n"
      << "about one per request.";
  if (noGrowth("tcp") && noGrowth("rtu")) {
    out << " All of it is given back within the cycle or pass: the live blocks and the heap do "
        << "not climb.";
  }
  for (const char* t : kTransports) {
    if (!noGrowth(t) && child(figures("memory", t), "growth").is_object()) {
      const Json& g = child(figures("memory", t), "growth");
      out << " **Over " << upper(t) << " the heap climbs**: live blocks "
          << f(num(g, {"live_blocks", "first"}), 0) << " → "
          << f(num(g, {"live_blocks", "last"}), 0) << ", "
          << f(num(g, {"live_blocks", "slope_per_minute"})) << " a minute; "
          << "something is kept per jog or per cycle.";
    }
  }
  for (const char* t : kTransports) {
    const Json& rss = child(child(figures("memory", t), "growth"), "rss_kb");
    if (flag(rss, {"climbs"})) {
      out << " Over " << upper(t) << " the resident size rose from " << f(num(rss, {"first"}), 0)
          << " to " << f(num(rss, {"last"}), 0)
          << " kB while heap and live blocks stayed flat: pages outside the heap (stacks, "
          << "libraries, the benchmark's records), not heap kept by the bundle.";
    }
  }
  out << "\n\n";
}

// ---------------------------------------------------------------- shutdown

void ReportWriter::shutdown(std::ostringstream& out) const {
  out << "## 6. Stop and release\n\n"
      << "**How.** Driven through the framework. Each iteration starts the bundle afresh\n"
      << "(bundle `Start`, service, `start()`), waits until the joystick has been read, then\n"
      << "a random 0 to 100 ms so that the stop falls anywhere in the poll schedule. `stop()`\n"
      << "is timed on the host thread; then the host drops its reference and stops the bundle,\n"
      << "and that is timed as the release: the framework withdraws the service, which\n"
      << "destroys the extension, its periodic thread, the rocker service, the registry and,\n"
      << "once the poll pass in progress has ended with its sleep, the poll thread.\n\n"
      << "**Goal.** `stop()` within one cycle (10 ms); the release within one poll pass plus\n"
      << "its 10 ms sleep, the pass taken at the longest group pass I/O of the run.\n\n"
      << "| ms | iterations | stop median | stop p90 | stop max | release median | release p90 "
         "| release max | release goal |\n"
      << "|---|---|---|---|---|---|---|---|---|\n";
  for (const char* t : kTransports) {
    const Json& s = figures("shutdown", t);
    if (!s.is_object()) continue;
    out << "| " << upper(t) << " | " << f(num(s, {"iterations"}), 0) << " | "
        << f(num(s, {"stop_ms", "median"})) << " | " << f(num(s, {"stop_ms", "p90"})) << " | "
        << f(num(s, {"stop_ms", "max"})) << " (" << mark(stopMeets(t)) << ") | "
        << f(num(s, {"release_ms", "median"})) << " | " << f(num(s, {"release_ms", "p90"})) << " | "
        << f(num(s, {"release_ms", "max"})) << " (" << mark(releaseMeets(t)) << ") | "
        << f(releaseGoalMs(t)) << " |\n";
  }
  out << "\nThreads still alive afterwards (task thread after `stop()`, poll thread after the "
      << "release): ";
  for (const char* t : kTransports) {
    const Json& s = figures("shutdown", t);
    out << upper(t) << " " << f(num(s, {"task_thread_alive_after_stop"}), 0) << " and "
        << f(num(s, {"poll_thread_alive_after_release"}), 0)
        << (std::string(t) == "tcp" ? "; " : "");
  }
  out << ". Measured against a typical pass as well (median group pass I/O plus 10 ms): ";
  for (const char* t : kTransports) {
    const Json& s = figures("shutdown", t);
    const double typical = num(s, {"group_pass_io_ms", "median"}) + num(s, {"poll_sleep_ms"});
    out << upper(t) << " " << f(typical) << " ms, release max " << f(num(s, {"release_ms", "max"}))
        << " ms" << (std::string(t) == "tcp" ? "; " : ".");
  }
  out << " `stop()` waits for the task thread to notice the request at its next period,\n"
      << "so up to one cycle; the release waits for the rest of the poll pass in progress,\n"
      << "which is mostly its 10 ms sleep.";
  for (const char* t : kTransports) {
    const Json& s = figures("shutdown", t);
    if (!s.is_object()) continue;
    if (!stopMeets(t)) {
      out << " Over " << upper(t) << ", `stop()` took up to " << f(num(s, {"stop_ms", "max"}))
          << " ms: beyond the 10 ms period the host thread and the task thread were waiting "
          << "for a processor on the loaded machine.";
    }
    if (!releaseMeets(t)) {
      out << " Over " << upper(t) << ", the release took up to " << f(num(s, {"release_ms", "max"}))
          << " ms: beyond the pass and its sleep, the poll thread woke late from its sleep on the "
          << "loaded machine.";
    }
  }
  out << "\n";
}

// ---------------------------------------------------------------- watchdog

void ReportWriter::watchdog(std::ostringstream& out) const {
  out << "\n## 7. A silent joystick and a dropped connection\n\n"
      << "**How.** Driven through the framework, with the default \"input_timeout\" of 0.3 s.\n"
      << "Each jog deflects x to ±500 and waits for `speedLine`, then holds 20 to 120 ms\n"
      << "before the fault, the holds spread evenly over the jogs, so that the faults fall\n"
      << "evenly over the group period (about 100 ms) of the poll schedule.\n\n"
      << "*Silent:* the slave stops answering (it still receives every request; the bundle's\n"
      << "read then waits for its 1 s response time-out). The figure runs from the\n"
      << "joystick's **last reply** to the robot's `stopLine`. The last reply is the last\n"
      << "reply that carried the stick values: of the bundle's poll thread's requests, timed at\n"
      << "libmodbus (see \"How the bundle is driven\"), the last read of input registers over\n"
      << "register 256 that succeeded before the `stopLine`; its time is when that call\n"
      << "returned, the moment the reply was in, just before the registry stamps the values\n"
      << "as read. The bundle measures the age of the stick values from that stamp, so this\n"
      << "is the figure the watchdog answers for. Beside it: from the last reply of any kind\n"
      << "(a later read of another group or a light write would count there), and from the\n"
      << "moment the slave fell silent. After the stop the slave answers again, the stick is\n"
      << "centred, and the next jog waits until the bundle has read the joystick back and\n"
      << "seen the stick centred.\n\n"
      << "*Dropped:* TCP: the slave closes its client connections (the bundle's next\n"
      << "request finds the connection reset); RTU: the serial line vanishes (socat ends and\n"
      << "the pseudo-terminals go, then the slave). The figure runs from just before the\n"
      << "drop was begun to `stopLine`. The RTU line cannot come back under its path, so each\n"
      << "drop runs on a fresh rig (bundle loaded, started, joystick read, jogging switched\n"
      << "on).\n\n"
      << "Every jog must end with exactly one `stopLine` (the robot's commands are counted\n"
      << "for 100 ms after it).\n\n"
      << "**Goal.** Silent: median and max within \"input_timeout\" plus two cycles of the last\n"
      << "reply (" << f(num(figures("watchdog", "tcp"), {"input_timeout_ms"}), 0) << " + 2 × "
      << f(num(figures("watchdog", "tcp"), {"cycle_ms"}), 0) << " = " << f(silentGoalMs("tcp"), 0)
      << " ms). Dropped: within " << f(kDroppedGoalMs, 0) << " ms.\n\n"
      << "| ms | jogs | failed | min | median | p90 | p99 | max | verdict |\n"
      << "|---|---|---|---|---|---|---|---|---|\n";
  for (const char* t : kTransports) {
    const Json& w = figures("watchdog", t);
    if (!w.is_object()) continue;
    const Json& s = child(w, "silent");
    const Json& d = child(w, "dropped");
    const auto jogs = [](const Json& part) {
      return f(num(part, {"jogs"}), 0) + " | " + f(num(part, {"failures"}), 0);
    };
    out << "| " << upper(t) << " silent: last reply with the stick → `stopLine` | " << jogs(s)
        << " | " << statsCells(child(s, "from_stick_reply_ms")) << " | " << mark(silentMeets(t))
        << " |\n"
        << "| " << upper(t) << " silent: last reply of any kind → `stopLine` | | | "
        << statsCells(child(s, "from_any_reply_ms")) << " | |\n"
        << "| " << upper(t) << " silent: slave fell silent → `stopLine` | | | "
        << statsCells(child(s, "from_silence_ms")) << " | |\n"
        << "| " << upper(t) << " dropped → `stopLine` | " << jogs(d) << " | "
        << statsCells(child(d, "from_drop_ms")) << " | " << mark(droppedMeets(t)) << " |\n";
  }
  out << "\n";
  for (const char* t : kTransports) {
    const Json& w = figures("watchdog", t);
    if (!w.is_object()) continue;
    const Json& s = child(w, "silent");
    const Json& d = child(w, "dropped");
    out << "**" << upper(t) << ".** " << f(num(s, {"age_stops"}), 0) << " of the "
        << f(num(s, {"jogs"}), 0)
        << " silent jogs were ended by the watchdog (its warning \"Rocker stop: the stick "
        << "values are N ms old\"); second `stopLine` calls for one jog: silent "
        << f(num(s, {"extra_stop_lines"}), 0) << ", dropped " << f(num(d, {"extra_stop_lines"}), 0)
        << ".";
    const double timeout = num(w, {"input_timeout_ms"});
    const double cycle = num(w, {"cycle_ms"});
    const double over = num(s, {"from_stick_reply_ms", "max"}) - timeout;
    if (!std::isnan(over)) {
      out << " Silent: the jog ended " << f(num(s, {"from_stick_reply_ms", "median"}) - timeout)
          << " ms (median) and at most " << f(over) << " ms after the stick values turned "
          << f(timeout, 0) << " ms old. The age is looked at once a cycle, so up to one cycle ("
          << f(cycle, 0) << " ms) is expected";
      // Within a millisecond of the cycle is the cycle itself.
      out << (over > cycle + 1.0 ? "; the rest is the task thread waiting for a processor."
                                 : ", and nothing beyond it came.");
    }
    if (!silentMeets(t) && over > 2.0 * cycle) {
      out << " **The silent maximum misses** the goal by " << f(over - 2.0 * cycle)
          << " ms: the task thread ran that late on the loaded machine.";
    }
    if (num(d, {"from_drop_ms", "count"}) > 0) {
      out << " Dropped: " << f(num(d, {"from_drop_ms", "min"})) << " to "
          << f(num(d, {"from_drop_ms", "max"}))
          << " ms. The bundle finds the connection gone at its next request, and at rest with the "
          << "stick held that is the next group read, up to a group period (about 100 ms) after "
          << "the drop; the jog ends in the cycle after, so the figure spreads over a group "
          << "period plus a cycle.";
    }
    if (!droppedMeets(t) && num(d, {"from_drop_ms", "max"}) > kDroppedGoalMs) {
      out << " **The dropped maximum misses**: beyond a group period and a cycle, the poll or "
          << "the task thread waited for a processor.";
    }
    out << "\n\n";
  }
}

}  // namespace velk::bench
