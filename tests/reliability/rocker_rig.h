#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "bundle/scratch_dir.h"
#include "joystick_sim/modbus_slave.h"
#include "reliability/loaded_bundle.h"
#include "reliability/rig_timing.h"
#include "robot_sim/simulated_robot.h"
#include "support/log_capture.h"

namespace rocker_reliability {

// The rocker as an operator meets it: librocker.so loaded through the
// framework, started against a simulated robot (running, normal safety,
// jogging allowed) with its log captured, and a joystick slave the test
// drives. HOME points at a scratch folder for the package file.
//
//   TcpSlave joystick;
//   RockerRig rig;
//   rig.start("127.0.0.1," + std::to_string(joystick.port()));
//   ASSERT_TRUE(rig.switchJoggingOn(joystick));
//   ASSERT_TRUE(rig.startJog(joystick));
//   const auto injected = Clock::now();
//   joystick.dropClients();
//   EXPECT_LE(rig.stopLatencySince(injected).value(), 500ms);
class RockerRig {
 public:
  // Stick deflection of a clear, steady push on x.
  static constexpr uint16_t kPush = 400;

  RockerRig();
  ~RockerRig();
  RockerRig(const RockerRig&) = delete;
  RockerRig& operator=(const RockerRig&) = delete;

  // Loads and starts the bundle with the joystick at device_info; further
  // start options (TOML lines) may follow.
  void start(const std::string& device_info, const std::string& more_options = "");
  // Presses and releases the power button; true once jogging is on.
  bool switchJoggingOn(velk::joystick_sim::ModbusSlave& joystick);
  // Rests the stick centred until the bundle has read it so, then pushes it
  // on x; true once the robot got its speed command. A jog starts only once
  // the stick has been read centred since jogging was switched on or the
  // joystick came back.
  bool startJog(velk::joystick_sim::ModbusSlave& joystick);

  // Time from `since` to the first stop command after it, waiting at most
  // `timeout` (scaled) for one; nothing if none came.
  std::optional<Clock::duration> stopLatencySince(Clock::time_point since,
                                                  std::chrono::milliseconds timeout = 5000ms);
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

  velk::sim::SimulatedRobot& robot() { return robot_; }
  velk::test::LogCapture& log() { return log_; }
  LoadedBundle& bundle() { return *bundle_; }

 private:
  rocker_test::ScratchDir home_;
  std::string saved_home_;
  bool had_home_ = false;
  velk::test::LogCapture log_;
  velk::sim::SimulatedRobot robot_;
  std::unique_ptr<LoadedBundle> bundle_;
};

}  // namespace rocker_reliability
