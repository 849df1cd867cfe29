#include "reliability/rocker_rig.h"

#include <modbus/modbus.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "joystick_sim/joystick_map.h"
#include "robot_sim/robot_codes.h"

#ifndef ROCKER_BUNDLE_PATH
#error "ROCKER_BUNDLE_PATH must name librocker.so"
#endif

namespace rocker_reliability {

using velk::joystick_sim::JoystickMap;

RockerRig::RockerRig() {
  if (const char* home = std::getenv("HOME")) {
    had_home_ = true;
    saved_home_ = home;
  }
  ::setenv("HOME", home_.path().c_str(), 1);
  std::filesystem::create_directories(home_.file("velk_ws/extensions/rocker"));
  robot_.setRobotModeType(velk::sim::kRobotModeRunning);
  robot_.setSafetyModeType(velk::sim::kSafetyModeNormal);
  robot_.setRuntimeStatus(velk::sim::kRuntimeIdle);
}

RockerRig::~RockerRig() {
  bundle_.reset();
  if (had_home_) {
    ::setenv("HOME", saved_home_.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
}

void RockerRig::start(const std::string& device_info, const std::string& more_options) {
  bundle_ = std::make_unique<LoadedBundle>(ROCKER_BUNDLE_PATH);
  bundle_->start(robot_.api(), log_.callback(),
                 "cycle = 0.01\ndevice_info = \"" + device_info + "\"\n" + more_options);
}

bool RockerRig::switchJoggingOn(velk::joystick_sim::ModbusSlave& joystick) {
  // The first connection attempt comes about a second after start, and the
  // signals need their first probes after that.
  const int before = log_.countContaining("startup rocker");
  joystick.setCoil(JoystickMap::kPowerButtonCoil, true);
  const bool on = waitFor([&] { return log_.countContaining("startup rocker") > before; }, 8000ms);
  joystick.setCoil(JoystickMap::kPowerButtonCoil, false);
  return on;
}

bool RockerRig::startJog(velk::joystick_sim::ModbusSlave& joystick) {
  const int before = speedCommands();
  joystick.setInputRegister(JoystickMap::kFirstAxisRegister, 0);
  // A reply built after the line above reads the stick centred; once the
  // next read arrives, that reply has reached the bundle, and a group
  // period (100 ms) of cycles follows to take it.
  const int reads = joystick.requestCount(MODBUS_FC_READ_INPUT_REGISTERS);
  if (!joystick.waitForRequests(MODBUS_FC_READ_INPUT_REGISTERS, reads + 2, scaled(8000ms))) {
    return false;
  }
  joystick.setInputRegister(JoystickMap::kFirstAxisRegister, kPush);
  return waitFor([&] { return speedCommands() > before; }, 3000ms);
}

std::optional<Clock::duration> RockerRig::stopLatencySince(Clock::time_point since,
                                                           std::chrono::milliseconds timeout) {
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

int RockerRig::speedCommands() const {
  return static_cast<int>(robot_.callsNamed("speedLine").size());
}

int RockerRig::stopCommands() const {
  return static_cast<int>(robot_.callsNamed("stopLine").size());
}

std::size_t RockerRig::logMark() const { return log_.entries().size(); }

int RockerRig::countSince(std::size_t mark, const std::string& text) const {
  const auto entries = log_.entries();
  int count = 0;
  for (std::size_t i = mark; i < entries.size(); ++i) {
    if (entries[i].message.find(text) != std::string::npos) ++count;
  }
  return count;
}

std::map<std::string, int> RockerRig::messageCountsSince(std::size_t mark) const {
  const auto entries = log_.entries();
  std::map<std::string, int> counts;
  for (std::size_t i = mark; i < entries.size(); ++i) ++counts[entries[i].message];
  return counts;
}

std::pair<std::string, int> RockerRig::mostFrequentSince(std::size_t mark) const {
  std::pair<std::string, int> most{"", 0};
  for (const auto& [message, count] : messageCountsSince(mark)) {
    if (count > most.second) most = {message, count};
  }
  return most;
}

std::string RockerRig::logSince(std::size_t mark) const {
  const auto entries = log_.entries();
  std::ostringstream text;
  for (std::size_t i = mark; i < entries.size(); ++i) {
    text << "  [" << entries[i].level << "] " << entries[i].message << "\n";
  }
  return text.str();
}

}  // namespace rocker_reliability
