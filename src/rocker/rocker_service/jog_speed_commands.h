#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "common/log_callback.h"
#include "communication/modbus_wrapper/signal_snapshot.h"
#include "rocker/rocker_service/jog_command.h"
#include "rocker/rocker_service/jog_follower.h"
#include "rocker/rocker_service/rocker_settings.h"
#include "rocker/rocker_service/stick_input.h"

namespace velk::common_interface {
class RobotInterface;
class ZorvApi;
}  // namespace velk::common_interface

namespace velk::zorv_comm {

// Owns the speed commands of a jog and sends them: the start's command,
// computed from the stick through the host's pose arithmetic and checked
// once more against the joystick read anew just before it goes out, and,
// with jog_follow, the commands that follow the stick while the jog runs.
// Whether a jog starts or stops is not its call; what it does when the host
// gives nothing usable is the caller's.
class JogSpeedCommands {
 public:
  // Fills a snapshot of the joystick's signals.
  using SnapshotSource = std::function<void(zorv_control::SignalSnapshot&)>;

  enum class Start {
    kSent,
    // The host gave nothing usable to compute the command from.
    kNoCommand,
    // The stick, read anew, no longer asks for the start (logged); nothing
    // was sent.
    kDropped,
  };

  JogSpeedCommands(LogCallback log, std::shared_ptr<common_interface::ZorvApi> api,
                   const StickInput& input, SnapshotSource snapshots);

  // What the speed is made from, and whether it follows the stick.
  void configure(const RockerSettings& settings);
  void setAxis(int x, int y, int z) { command_.setAxis(x, y, z); }
  void setProperty(double pose_speed_fast, double ori_velc, double acc, double rotation);

  // Sends the start's speed command at `pose_speed`.
  Start start(common_interface::RobotInterface& robot, double pose_speed);
  // Whether this cycle's reading is a new read of the stick a following jog
  // looks at; each read is looked at once.
  bool followDue();
  // Sends the stick's new command when it differs enough from the last one
  // sent; false when the host gave nothing usable to compute it from.
  bool follow(common_interface::RobotInterface& robot, double pose_speed);

 private:
  // Empty when the host gave nothing usable to compute the command from.
  std::optional<std::vector<double>> speedCommand(common_interface::RobotInterface& robot,
                                                  const JogCommand& computed_by,
                                                  double pose_speed) const;
  // False (logged) when the stick, read anew, no longer asks for the start.
  bool startStillHolds();

  LogCallback log_;
  std::shared_ptr<common_interface::ZorvApi> api_;
  const StickInput& input_;
  SnapshotSource snapshots_;
  double acc_ = 0;
  JogCommand command_;
  JogFollower follower_;
  // command_ for a following jog, which computes a command on every read:
  // it logs errors only, since its frames and bound warnings would flood
  // the log.
  JogCommand follow_command_;
  // The signals read again just before a command goes out.
  zorv_control::SignalSnapshot late_snapshot_;
};

}  // namespace velk::zorv_comm
