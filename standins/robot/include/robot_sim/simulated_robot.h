#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "robot_sim/recorded_call.h"
#include "robot_sim/robot_codes.h"

namespace velk::common_interface {
class HostBackend;
class ZorvApi;
}  // namespace velk::common_interface

namespace velk::sim {

// A simulated robot behind the host robot API. A test or a host simulator
// builds the ZorvApi it hands to the bundle with api(), drives the robot's
// state and clock with the setters and advance(), and reads back what the
// bundle did from the call record.
//
// Units and conventions (those of the API calls, too):
// - Tool pose: x, y, z in metres, then rx, ry, rz in radians: roll, pitch
//   and yaw about the fixed base axes, applied X first, then Y, then Z, so
//   the rotation is R = Rz(rz) * Ry(ry) * Rx(rx). poseTrans(p1, p2) is
//   T(p1) * T(p2) in this convention; it returns an empty vector when a pose
//   does not have six values.
// - speedLine(speed, a, t): speed is x, y, z in m/s (the tool point, base
//   frame) and rx, ry, rz in rad/s (angular velocity about the base axes);
//   a is the acceleration of both parts, in m/s^2 and rad/s^2; t in seconds
//   bounds the command. The speed is reached along a ramp at a and held;
//   t seconds after the command the tool ramps back to rest at a. A new
//   speedLine replaces the running one. Refused (kResultNotReady) unless the
//   robot is running, in normal safety mode and not in freedrive; refused
//   (kResultInvalidArgument) unless speed has six finite values and a, t are
//   finite and positive.
// - stopLine(a, rot_a): ramps to rest at a m/s^2 and rot_a rad/s^2 and ends
//   the time bound; both finite and positive, else kResultInvalidArgument.
// - isSteady(): true exactly while the tool is at rest and not commanded to
//   move; false from the moment a speedLine is accepted until the tool has
//   come back to rest.
// - getControlSystemTime(): simulated time in whole milliseconds since the
//   robot was made.
// - setToolVoltageOutputDomain(v): v is 0, 12 or 24 volts.
// - getRobotInterface(name): the one simulated robot, whatever the name.
// - Leaving the running mode, leaving normal safety mode or enabling
//   freedrive stops the tool at once (no ramp), as a safety stop's brakes do.
//
// Initial state: robot mode kRobotModeRunning, safety mode kSafetyModeNormal,
// runtime status kRuntimeIdle, freedrive off, one robot named "rob1", tool
// voltage 0, tool at rest at (0.4, 0, 0.3, 0, 0, 0), simulated time 0.
//
// Clock: manual by default; the robot moves only by advance(), which makes
// tests exact and repeatable. In real-time mode the simulated time also runs
// with the steady clock: each call (through the API or here) first moves the
// robot on by the time elapsed since the previous call.
//
// Call record: every call through the API's handles that reaches the robot
// is recorded, in order, with its arguments, result, simulated time and
// steady-clock time (see RecordedCall), except the plain handle getters
// (getRobotState, getMotionControl, getMath, ...), which carry nothing. The
// record holds at most setCallRecordCapacity() entries; beyond that the oldest
// are dropped and counted (droppedCalls()). setRecordQueries(false) keeps
// only the commands (speedLine, stopLine, setToolVoltageOutputDomain,
// deleteTask), for long runs; every query is counted by name all the same
// (queryCounts()).
//
// Thread-safe: all members may be called from any thread while the API is in
// use on others. Handles from api() keep the robot alive after this object
// is gone.
class SimulatedRobot {
 public:
  SimulatedRobot();
  ~SimulatedRobot();
  SimulatedRobot(const SimulatedRobot&) = delete;
  SimulatedRobot& operator=(const SimulatedRobot&) = delete;

  // A new API handle onto this robot.
  std::shared_ptr<common_interface::ZorvApi> api() const;

  // Moves simulated time on; throws std::invalid_argument for a negative or
  // non-finite number of seconds.
  void advance(double seconds);
  void setRealTime(bool enabled);
  bool realTime() const;
  // Seconds of simulated time.
  double simTime() const;

  void setRobotModeType(int type);
  int robotModeType() const;
  void setSafetyModeType(int type);
  int safetyModeType() const;
  void setRuntimeStatus(int status);
  int runtimeStatus() const;
  void setFreedriveEnabled(bool enabled);
  bool freedriveEnabled() const;
  // An empty list means no robot.
  void setRobotNames(std::vector<std::string> names);
  std::vector<std::string> robotNames() const;

  // Places the tool at once, keeping its speed. Throws std::invalid_argument
  // unless the pose has six finite values.
  void setToolPose(const std::vector<double>& pose);
  std::vector<double> toolPose() const;
  // The tool's current speed, in the layout of speedLine's speed.
  std::vector<double> toolSpeed() const;
  bool steady() const;
  int toolVoltage() const;

  // Host failures on demand: the named API call ("stopLine", "getStatus",
  // ...) throws std::runtime_error instead of reaching the robot, `times`
  // times (negative: every time; 0 clears it). A call that throws is not
  // recorded and has no effect.
  void failCall(const std::string& name, int times = 1);
  // The named pose query ("getToolPose" or "poseTrans") answers `reply`
  // (short, non-finite, anything) instead of the truth; nullopt clears it.
  void replyPose(const std::string& name, std::optional<std::vector<double>> reply);
  // The named handle getter of the API or the robot interface
  // ("getRobotState", "getMotionControl", "getIoControl", "getRobotManage",
  // "getMath", "getRuntimeMachine", "getSystemInfo") returns an empty
  // handle while withheld, as a host that lost the part would.
  void withholdHandle(const std::string& getter, bool withheld = true);
  // The named call (getToolPose) runs `during` before it answers, as a host busy for a while
  // would: the test moves its clocks and the joystick meanwhile. Empty
  // clears it. `during` must not call the robot.
  void stallCall(const std::string& name, std::function<void()> during);

  std::vector<RecordedCall> calls() const;
  std::vector<RecordedCall> callsNamed(const std::string& name) const;
  std::vector<RecordedCall> commands() const;
  std::size_t droppedCalls() const;
  void clearCalls();
  void setCallRecordCapacity(std::size_t capacity);
  void setRecordQueries(bool record);
  // How many queries of each name came since the start, recorded or not.
  std::map<std::string, std::size_t> queryCounts() const;

 private:
  std::shared_ptr<common_interface::HostBackend> backend_;
};

}  // namespace velk::sim
