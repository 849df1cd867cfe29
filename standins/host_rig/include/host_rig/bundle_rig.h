#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host_rig/bundle_host.h"
#include "host_rig/host_home.h"
#include "host_rig/log_sink.h"
#include "host_rig/rig_timing.h"
#include "robot_sim/simulated_robot.h"

namespace velk::joystick_sim {
class ModbusSlave;
}

namespace velk::host_rig {

struct RigSettings {
  std::string bundle_path;
  // How many log entries are kept; a benchmark keeps none and watches texts.
  std::size_t keep_log = LogSink::kKeepAll;
  std::vector<std::string> watched_log;
};

// The rocker as an operator meets it: librocker.so installed through the
// framework, started against the simulated robot (running, normal safety,
// idle program: jogging allowed) with its log going to a sink, and driven
// through a joystick slave the caller owns. HOME points at a scratch folder
// for the package file. The bundle runs with a cycle of 10 ms.
//
//   TcpSlave joystick;
//   BundleRig rig(ROCKER_BUNDLE_PATH);
//   rig.start("127.0.0.1," + std::to_string(joystick.port()));
//   ASSERT_TRUE(rig.switchJoggingOn(joystick));
//   ASSERT_TRUE(rig.startJog(joystick));
//   const auto injected = Clock::now();
//   joystick.dropClients();
//   EXPECT_LE(rig.stopLatencySince(injected).value(), 500ms);
class BundleRig {
 public:
  using Clock = timing::Clock;
  static constexpr double kCycleMs = 10.0;
  // Stick deflection of a clear, steady push on x.
  static constexpr uint16_t kPush = 400;

  explicit BundleRig(const RigSettings& settings);
  // Keeps every log entry.
  explicit BundleRig(const std::string& bundle_path);
  // The bundle goes first: it calls into the log and the robot.
  ~BundleRig();
  BundleRig(const BundleRig&) = delete;
  BundleRig& operator=(const BundleRig&) = delete;

  // The steps of start(), for callers that time them or repeat them.
  void loadBundle();
  void startRocker(const std::string& device_info, const std::string& more_options = "");
  // Starts the bundle and the extension with the joystick at device_info;
  // further start options (TOML lines) may follow.
  void start(const std::string& device_info, const std::string& more_options = "");
  BundleHost::Duration stopRocker();
  // The extension destroyed and the bundle stopped; loadBundle() may follow.
  BundleHost::Duration releaseBundle();

  // Until the bundle has read the joystick once more; false after `timeout`.
  bool awaitJoystickData(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Presses and releases the power button; true once jogging is on.
  bool switchJoggingOn(joystick_sim::ModbusSlave& joystick);
  // Rests the stick centred until the bundle has read it so, then pushes it
  // on x; true once the robot got its speed command. A jog starts only once
  // the stick has been read centred since jogging was switched on or the
  // joystick came back.
  bool startJog(joystick_sim::ModbusSlave& joystick);

  // Time from `since` to the first stop command after it, waiting at most
  // `timeout` (scaled) for one; nothing if none came.
  std::optional<Clock::duration> stopLatencySince(
      Clock::time_point since, std::chrono::milliseconds timeout = std::chrono::seconds(5));
  int speedCommands() const;
  int stopCommands() const;

  // A mark in the log; counts since a mark.
  std::size_t logMark() const;
  int countSince(std::size_t mark, const std::string& text) const;
  // How often each distinct message came since the mark, the most frequent
  // first in the pair returned by mostFrequentSince.
  std::map<std::string, int> messageCountsSince(std::size_t mark) const;
  std::pair<std::string, int> mostFrequentSince(std::size_t mark) const;
  std::string logSince(std::size_t mark) const;

  sim::SimulatedRobot& robot() { return robot_; }
  LogSink& log() { return log_; }
  BundleHost& bundle() { return *bundle_; }
  const HostHome& home() const { return home_; }

 private:
  HostHome home_;
  LogSink log_;
  sim::SimulatedRobot robot_;
  std::unique_ptr<BundleHost> bundle_;
};

}  // namespace velk::host_rig
