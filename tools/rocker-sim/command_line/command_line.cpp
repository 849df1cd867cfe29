#include "rocker-sim/command_line/command_line.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cxxopts.hpp>
#include <iterator>

#include "rocker-sim/command_line/input_error.h"
#include "rocker-sim/report/atomic_file.h"

namespace velk::rocker_sim {

namespace {

constexpr const char* kSeeHelp = " (see rocker-sim --help)";

cxxopts::Options optionSet(const std::string& bundle, const std::string& scenario) {
  cxxopts::Options options("rocker-sim",
                           "Runs the rocker bundle as a host does, with a simulated joystick and "
                           "robot, and shows what happened.");
  options.set_width(100);
  options.add_options()("bundle", "the bundle library to load",
                        cxxopts::value<std::string>()->default_value(bundle),
                        "FILE")("scenario", "the scenario to play",
                                cxxopts::value<std::string>()->default_value(scenario), "FILE")(
      "options", "start options (TOML) handed to the extension", cxxopts::value<std::string>(),
      "FILE")("joystick", "tcp, rtu, or none for an outside device",
              cxxopts::value<std::string>()->default_value("tcp"),
              "KIND")("device-info", "the outside joystick's device info (with --joystick none)",
                      cxxopts::value<std::string>(), "TEXT")(
      "report", "write everything as JSON to FILE", cxxopts::value<std::string>(), "FILE")(
      "svg", "draw the tool path to FILE", cxxopts::value<std::string>(), "FILE")(
      "interactive", "drive the joystick from the keyboard")(
      "monitor", "show live what the joystick at --device-info sends (no bundle, no robot)")(
      "duration", "end the monitor after S seconds", cxxopts::value<double>(), "S")(
      "home", "HOME for the extension's package file (default: a temporary folder)",
      cxxopts::value<std::string>(),
      "DIR")("log-level", "print the bundle's messages up to this level (0 critical .. 5 all)",
             cxxopts::value<int>()->default_value("4"), "N")("h,help", "print this help");
  return options;
}

// An option without a default: empty unless given.
std::string text(const cxxopts::ParseResult& result, const char* name) {
  return result.count(name) ? result[name].as<std::string>() : std::string();
}

// An option with a default: given or not, it has a value.
std::string defaulted(const cxxopts::ParseResult& result, const char* name) {
  return result[name].as<std::string>();
}

bool isReadableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), R_OK) == 0;
}

void requireWritable(const std::string& path, const char* what) {
  if (!path.empty() && !AtomicFile::canCreate(path)) {
    throw InputError(std::string("cannot write the ") + what + " to " + path +
                     ": its folder is missing or not writable, or it is a folder");
  }
}

}  // namespace

CommandLine::CommandLine(std::string default_bundle, std::string default_scenario)
    : default_bundle_(std::move(default_bundle)), default_scenario_(std::move(default_scenario)) {}

SimSettings CommandLine::parse(int argc, char** argv) const {
  auto options = optionSet(default_bundle_, default_scenario_);
  SimSettings settings;
  try {
    const auto result = options.parse(argc, argv);
    if (!result.unmatched().empty()) {
      throw InputError("unexpected argument \"" + result.unmatched().front() + "\"" + kSeeHelp);
    }
    settings.help = result.count("help") > 0;
    settings.help_text = options.help();
    settings.bundle = defaulted(result, "bundle");
    settings.interactive = result.count("interactive") > 0;
    settings.monitor = result.count("monitor") > 0;
    settings.duration = result.count("duration") ? result["duration"].as<double>() : 0;
    const bool plays = !settings.interactive && !settings.monitor;
    settings.scenario = result.count("scenario") || plays ? defaulted(result, "scenario") : "";
    if (settings.monitor && result.count("joystick") == 0) {
      settings.joystick = JoystickChoice::kNone;
    }
    settings.options = text(result, "options");
    if (!settings.monitor || result.count("joystick")) {
      settings.joystick = joystickNamed(defaulted(result, "joystick"));
    }
    settings.device_info = text(result, "device-info");
    settings.report = text(result, "report");
    settings.svg = text(result, "svg");
    settings.home = text(result, "home");
    settings.log_level = result["log-level"].as<int>();
  } catch (const InputError&) {
    throw;
  } catch (const std::exception& e) {
    throw InputError(std::string(e.what()) + kSeeHelp);
  }
  if (!settings.help) check(settings);
  return settings;
}

JoystickChoice CommandLine::joystickNamed(const std::string& name) {
  for (std::size_t i = 0; i < std::size(kJoystickNames); ++i) {
    if (name == kJoystickNames[i]) return static_cast<JoystickChoice>(i);
  }
  throw InputError("--joystick must be tcp, rtu or none, not \"" + name + "\"");
}

void CommandLine::checkMonitor(const SimSettings& s) {
  if (s.device_info.empty()) throw InputError("--monitor needs --device-info TEXT");
  if (s.joystick != JoystickChoice::kNone) {
    throw InputError("--monitor watches an outside joystick: --joystick does not go with it");
  }
  if (s.interactive || !s.scenario.empty() || !s.options.empty() || !s.report.empty() ||
      !s.svg.empty()) {
    throw InputError(
        "--monitor runs no bundle: --interactive, --scenario, --options, --report and --svg do "
        "not go with it");
  }
  if (!(s.duration >= 0) || s.duration > 1e6) {
    throw InputError("--duration must be 0 (until q) or a number of seconds");
  }
}

void CommandLine::check(const SimSettings& s) const {
  if (s.monitor) {
    checkMonitor(s);
    return;
  }
  if (s.duration != 0) throw InputError("--duration goes with --monitor");
  if (s.joystick == JoystickChoice::kNone && s.device_info.empty() && s.options.empty()) {
    throw InputError(
        "--joystick none needs --device-info TEXT (or an --options file that sets device_info)");
  }
  if (s.joystick != JoystickChoice::kNone && !s.device_info.empty()) {
    throw InputError("--device-info names an outside joystick: use it with --joystick none");
  }
  if (s.interactive && s.joystick == JoystickChoice::kNone) {
    throw InputError(
        "--interactive drives the simulated joystick: it does not go with --joystick none");
  }
  if (s.interactive && !s.scenario.empty()) {
    throw InputError("--interactive and --scenario do not go together: choose one");
  }
  if (s.log_level < 0 || s.log_level > 5) throw InputError("--log-level must be 0 to 5");
  if (!isReadableFile(s.bundle)) {
    throw InputError("bundle not found: " + s.bundle +
                     " (build the target rocker, or give --bundle FILE)");
  }
  requireWritable(s.report, "report");
  requireWritable(s.svg, "picture");
}

}  // namespace velk::rocker_sim
