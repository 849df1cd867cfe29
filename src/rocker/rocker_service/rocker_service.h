#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/log_callback.h"
#include "communication/modbus_wrapper/signal_snapshot.h"
#include "rocker/rocker_service/change_detector.h"
#include "rocker/rocker_service/host_call_guard.h"
#include "rocker/rocker_service/indicator_light.h"
#include "rocker/rocker_service/jog_decision.h"
#include "rocker/rocker_service/jog_speed_commands.h"
#include "rocker/rocker_service/joystick_registration.h"
#include "rocker/rocker_service/joystick_version.h"
#include "rocker/rocker_service/rocker_clock.h"
#include "rocker/rocker_service/rocker_settings.h"
#include "rocker/rocker_service/stick_checks.h"
#include "rocker/rocker_service/stick_input.h"
#include "rocker/rocker_service/stick_rate_check.h"

namespace velk::common_interface {
class RobotInterface;
class ZorvApi;
}  // namespace velk::common_interface

namespace velk::zorv_control {
class ModbusWrapperImpl;
}  // namespace velk::zorv_control

namespace velk::zorv_comm {

// Turns the hand-held six-axis joystick (the "rocker", a Modbus slave) into
// Cartesian jog motion of the robot. It owns the joystick's power, when it
// is registered, jogging on and off and the speed mode with their buttons
// and lights, what is done with each cycle's StickReading (the switch-off,
// ending a jog, the read error's light and lines) and a jog's stop. How the
// signals are registered is JoystickRegistration's, how far the input is
// trusted StickInput's, when a jog starts or stops JogDecision's, its speed
// commands JogSpeedCommands' (the speed itself JogCommand's), the indicator
// IndicatorLight's and the version words JoystickVersion's.
//
// Once per period the motion task calls updateRockerData() and then
// motion(): the first powers and registers the joystick while the robot is
// in mode 8, takes the values the registry's poll thread has read, drives
// the lights and handles the buttons; the second decides from this cycle's
// and the previous cycle's stick values whether to start one speed command
// or to stop it. A jog is one speedLine and one stopLine, nothing between;
// with jog_follow a new read of the stick may send a new speedLine, which
// JogSpeedCommands decides.
//
// Threads: construction and the settings run on the host thread before the
// task starts; everything else on the periodic task thread. The only thing
// shared with another thread is the registry, through its own locks.
class RockerService {
 public:
  using ValueMap = StickChecks::ValueMap;

  static constexpr const char* kVersion = "0.3.0";
  // Fills a cycle's snapshot of the joystick's signals.
  using SnapshotSource = JogSpeedCommands::SnapshotSource;

  RockerService(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                std::string device_info);
  // For callers that bring their own registry (a null one is created here)
  // and their own clock, such as simulators and tests; and, for tests of
  // the data step, their own snapshots (the registry's without one).
  RockerService(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                std::string device_info, std::shared_ptr<zorv_control::ModbusWrapperImpl> registry,
                RockerClock clock, SnapshotSource snapshots = {});
  ~RockerService();

  RockerService(const RockerService&) = delete;
  RockerService& operator=(const RockerService&) = delete;

  // Registers / removes the 16 joystick signals with the registry.
  void enable();
  void disable();

  void setProperty(double pose_speed_fast, double pose_speed_slow, double ori_velc, double acc,
                   double rotation);
  void setDebug(bool debug);
  // Which stick axis, with which sign, feeds each jog component: 1, 2, 3
  // pick x, y, z; a negative value flips the sign; 0 and anything beyond 3
  // pick z.
  void setAxis(int x, int y, int z);
  void setConfigPath(const std::string& path);
  // Everything the start options set: what setDebug, setProperty and setAxis
  // set (and log), and each part's own settings.
  void configure(const RockerSettings& settings);
  // Records the firmware version in the package file; true when the file
  // holds it afterwards.
  bool updateConfig(const std::string& version);

  // The cycle's first step: power and registration, then getRockerData().
  // Like motion(), it lets nothing the host throws out: the exception is
  // logged and a jog in progress ends.
  void updateRockerData();
  // Takes the joystick values, drives the lights, handles the buttons.
  void getRockerData();
  // The indicator's blink while the host program is paused.
  void setLEDStatusOnPaused();

  // Centred check: the first n stick axes all lie strictly inside +-limit.
  bool range(ValueMap values, std::size_t n, int limit);
  // Steadiness check: both maps hold n keys and no stick axis differs by
  // more than limit between them.
  bool range(ValueMap a, ValueMap b, std::size_t n, int limit);

  // The robot to drive (the host's first robot), or empty when there is none.
  std::shared_ptr<common_interface::RobotInterface> getRobotInterface();
  long long currentTime();

  // The cycle's second step: runs the decision while jogging is allowed.
  void motion();
  // Starts, keeps or stops the jog from the stick values of two cycles.
  void decisionFullView();
  // Ends an active jog with the stop command, or sends a stop still
  // pending once more. For the host's thread, once the task thread has been
  // stopped and joined.
  void haltJog() noexcept;

  // What the service shows of itself, for simulators and tests.
  bool rockerOn() const { return rocker_on_; }
  bool moving() const { return decision_.moving(); }
  int indicatorState() const { return indicator_.state(); }
  double poseSpeed() const { return pose_speed_; }
  const ValueMap& currentValues() const { return input_.current(); }
  const ValueMap& previousValues() const { return input_.previous(); }

 private:
  void takeJoystickData();
  void decideMotion();
  void hostCallFailed();
  void powerOnJoystick(common_interface::RobotInterface& robot);
  // The service's part of a reading: the switch-off, the stop, the read
  // error's light and lines.
  void actOn(const StickReading& reading);
  void switchOffUnreadable();
  void recordFirmwareVersion(bool read_clean);
  void dumpValuesIfMoved();
  // False when the indicator rule that applied ends the data step.
  bool applyIndicatorRules();
  void handlePowerButton();
  void switchRockerOn();
  void handleSpeedButton();
  // A button changed what a jog runs under: one in progress ends (its stop
  // is the stop command), otherwise a robot still moving is stopped.
  void endJogOrSteady(JogStopCause cause);
  void stopIfNotSteady();
  void setOutput(const char* name, uint16_t value);

  void startJog();
  // With jog_follow: a new read of the stick during a jog may change its
  // speed command.
  void followStick();
  // The stop steps: "Rocker stop", its cause, the stop command.
  void stopJog(JogStopCause cause, const std::string& detail);
  void sendStop();
  // Stops a running jog from outside the decision (joystick lost or switched
  // off): a jog must never outlive the joystick that started it.
  void endActiveJog(JogStopCause cause);

  std::shared_ptr<zorv_control::ModbusWrapperImpl> registry_;
  ChangeDetector power_button_;
  ChangeDetector speed_button_;
  bool rocker_on_;
  int speed_mode_;
  bool debug_;
  double pose_speed_slow_;
  double pose_speed_fast_;
  double pose_speed_;
  std::shared_ptr<common_interface::ZorvApi> api_;
  LogCallback log_;
  HostCallGuard guard_;
  JoystickRegistration registration_;
  std::string config_path_;

  // After the registry, so that they are gone before its poll thread ends.
  JogDecision decision_;
  StickInput input_;
  JogSpeedCommands speeds_;
  IndicatorLight indicator_;
  StickRateCheck rate_check_;

  // A stop command was due and has not returned yet (the host threw, or
  // there was no robot to send it to).
  bool stop_pending_;
  SnapshotSource snapshots_;
  // The registry's signals as this cycle took them.
  zorv_control::SignalSnapshot snapshot_;
  JoystickVersion version_;
};

}  // namespace velk::zorv_comm
