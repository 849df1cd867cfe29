#include "rocker/rocker_service/jog_speed_commands.h"

#include <string>
#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "host/common_interface/zorv_api.h"
#include "host/common_interface/zorv_math.h"
#include "rocker/rocker_service/robot_handles.h"

namespace velk::zorv_comm {

namespace {

constexpr double kSpeedCommandTime = 100.0;

// The lines of `log` at Error and above only.
LogCallback errorsOnly(LogCallback log) {
  if (!log) return log;
  return [log = std::move(log)](int level, const char* file, int line, const std::string& message) {
    if (level <= kLogError) log(level, file, line, message);
  };
}

}  // namespace

JogSpeedCommands::JogSpeedCommands(LogCallback log, std::shared_ptr<common_interface::ZorvApi> api,
                                   const StickInput& input, SnapshotSource snapshots)
    : log_(std::move(log)),
      api_(std::move(api)),
      input_(input),
      snapshots_(std::move(snapshots)),
      command_(log_),
      follow_command_(log_) {}

void JogSpeedCommands::configure(const RockerSettings& settings) {
  command_.configure(settings);
  follower_.configure(settings);
}

void JogSpeedCommands::setProperty(double pose_speed_fast, double ori_velc, double acc,
                                   double rotation) {
  acc_ = acc;
  command_.setRotation(rotation);
  command_.setOrientationSpeed(ori_velc, pose_speed_fast);
}

JogSpeedCommands::Start JogSpeedCommands::start(common_interface::RobotInterface& robot,
                                                double pose_speed) {
  const auto command = speedCommand(robot, command_, pose_speed);
  if (!command) return Start::kNoCommand;
  const auto motion = motionOf(robot);
  if (!startStillHolds()) return Start::kDropped;
  motion->speedLine(*command, acc_, kSpeedCommandTime);
  if (follower_.enabled()) {
    follower_.begin(*command, input_.reading().stick_read_time, pose_speed,
                    command_.turnSpeedAt(pose_speed));
    follow_command_ = command_.withLog(errorsOnly(log_));
  }
  return Start::kSent;
}

std::optional<std::vector<double>> JogSpeedCommands::speedCommand(
    common_interface::RobotInterface& robot, const JogCommand& computed_by,
    double pose_speed) const {
  const std::vector<double> tool_pose = stateOf(robot)->getToolPose();
  return computed_by.speedFor(*HostCallGuard::require(api_->getMath(), "getMath"), tool_pose,
                              input_.current(), pose_speed);
}

// The host calls before the command (and the wait after a recent stop) may
// have taken long enough for the operator to let go: the start is checked
// once more against what the joystick says now. Nothing was sent, so the
// jog just did not begin.
bool JogSpeedCommands::startStillHolds() {
  snapshots_(late_snapshot_);
  const auto voided = input_.startVoidedBy(late_snapshot_);
  if (!voided) return true;
  VELK_LOG(log_, kLogInfo) << "Rocker start dropped: " << *voided
                           << " while the start was prepared";
  return false;
}

// Only on values a jog could start on, once per read of the stick; the
// decision has already ended a jog whose stick was let go.
bool JogSpeedCommands::followDue() {
  const StickReading& reading = input_.reading();
  return follower_.enabled() && reading.fresh && follower_.takeRead(reading.stick_read_time);
}

bool JogSpeedCommands::follow(common_interface::RobotInterface& robot, double pose_speed) {
  const auto command = speedCommand(robot, follow_command_, pose_speed);
  if (!command) return false;
  if (!follower_.differs(*command)) return true;
  const auto motion = motionOf(robot);
  // As at the start: nothing goes out on values the host calls outlasted;
  // the next cycle's decision ends the jog if the stick was let go.
  snapshots_(late_snapshot_);
  if (input_.startVoidedBy(late_snapshot_)) return true;
  motion->speedLine(*command, acc_, kSpeedCommandTime);
  follower_.sent(*command);
  return true;
}

}  // namespace velk::zorv_comm
