#include "host_rig/bundle_rig.h"

#include <modbus/modbus.h>

#include <sstream>

#include "joystick_sim/joystick_map.h"
#include "joystick_sim/modbus_slave.h"
#include "robot_sim/robot_codes.h"

namespace velk::host_rig {

using joystick_sim::JoystickMap;
using namespace timing;

namespace {

const char* const kDataRead = "Get rocker modbus data success!";
const char* const kJoggingOn = "startup rocker";

}  // namespace

BundleRig::BundleRig(const RigSettings& settings)
    : log_(settings.keep_log),
      bundle_(std::make_unique<BundleHost>(settings.bundle_path, BundleHost::Start::kLater)) {
  log_.watch(settings.watched_log);
  robot_.setRobotModeType(sim::kRobotModeRunning);
  robot_.setSafetyModeType(sim::kSafetyModeNormal);
  robot_.setRuntimeStatus(sim::kRuntimeIdle);
}

BundleRig::BundleRig(const std::string& bundle_path)
    : BundleRig(RigSettings{bundle_path, LogSink::kKeepAll, {}}) {}

BundleRig::~BundleRig() { bundle_.reset(); }

void BundleRig::loadBundle() { bundle_->startBundle(); }

void BundleRig::startRocker(const std::string& device_info, const std::string& more_options) {
  bundle_->start(robot_.api(), log_.callback(),
                 "cycle = 0.01\ndevice_info = \"" + device_info + "\"\n" + more_options);
}

void BundleRig::start(const std::string& device_info, const std::string& more_options) {
  loadBundle();
  startRocker(device_info, more_options);
}

BundleHost::Duration BundleRig::stopRocker() { return bundle_->stop(); }

BundleHost::Duration BundleRig::releaseBundle() { return bundle_->releaseExtension(); }

bool BundleRig::awaitJoystickData(std::chrono::milliseconds timeout) {
  const int before = log_.countContaining(kDataRead);
  return waitFor([&] { return log_.countContaining(kDataRead) > before; }, timeout, 5ms);
}

bool BundleRig::switchJoggingOn(joystick_sim::ModbusSlave& joystick) {
  // The first connection attempt comes about a second after start, and the
  // signals need their first probes after that.
  const int before = log_.countContaining(kJoggingOn);
  joystick.setCoil(JoystickMap::kPowerButtonCoil, true);
  const bool on = waitFor([&] { return log_.countContaining(kJoggingOn) > before; }, 8000ms);
  joystick.setCoil(JoystickMap::kPowerButtonCoil, false);
  return on;
}

bool BundleRig::startJog(joystick_sim::ModbusSlave& joystick) {
  const int before = speedCommands();
  joystick.setInputRegister(JoystickMap::kFirstAxisRegister, 0);
  // A reply built after the line above reads the stick centred; once the
  // read after next arrives, two such replies have reached the bundle, and
  // two group periods (200 ms) of cycles have had them to take: a loaded
  // machine may starve the task thread for one.
  const int reads = joystick.requestCount(MODBUS_FC_READ_INPUT_REGISTERS);
  if (!joystick.waitForRequests(MODBUS_FC_READ_INPUT_REGISTERS, reads + 3, scaled(8000ms))) {
    return false;
  }
  joystick.setInputRegister(JoystickMap::kFirstAxisRegister, kPush);
  return waitFor([&] { return speedCommands() > before; }, 3000ms);
}

std::optional<BundleRig::Clock::duration> BundleRig::stopLatencySince(
    Clock::time_point since, std::chrono::milliseconds timeout) {
  std::optional<Clock::duration> latency;
  waitFor(
      [&] {
        for (const auto& call : robot_.callsNamed("stopLine")) {
          if (call.steady_time >= since) {
            latency = call.steady_time - since;
            return true;
          }
        }
        return false;
      },
      timeout);
  return latency;
}

int BundleRig::speedCommands() const {
  return static_cast<int>(robot_.callsNamed("speedLine").size());
}

int BundleRig::stopCommands() const {
  return static_cast<int>(robot_.callsNamed("stopLine").size());
}

std::size_t BundleRig::logMark() const { return log_.entries().size(); }

int BundleRig::countSince(std::size_t mark, const std::string& text) const {
  const auto entries = log_.entries();
  int count = 0;
  for (std::size_t i = mark; i < entries.size(); ++i) {
    if (entries[i].message.find(text) != std::string::npos) ++count;
  }
  return count;
}

std::map<std::string, int> BundleRig::messageCountsSince(std::size_t mark) const {
  const auto entries = log_.entries();
  std::map<std::string, int> counts;
  for (std::size_t i = mark; i < entries.size(); ++i) ++counts[entries[i].message];
  return counts;
}

std::pair<std::string, int> BundleRig::mostFrequentSince(std::size_t mark) const {
  std::pair<std::string, int> most{"", 0};
  for (const auto& [message, count] : messageCountsSince(mark)) {
    if (count > most.second) most = {message, count};
  }
  return most;
}

std::string BundleRig::logSince(std::size_t mark) const {
  const auto entries = log_.entries();
  std::ostringstream text;
  for (std::size_t i = mark; i < entries.size(); ++i) {
    text << "  [" << entries[i].level << "] " << entries[i].message << "\n";
  }
  return text.str();
}

}  // namespace velk::host_rig
