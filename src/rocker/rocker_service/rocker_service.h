#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/log_callback.h"
#include "communication/modbus_wrapper/signal_snapshot.h"
#include "rocker/rocker_service/change_detector.h"
#include "rocker/rocker_service/host_call_guard.h"
#include "rocker/rocker_service/indicator_light.h"
#include "rocker/rocker_service/input_watchdog.h"
#include "rocker/rocker_service/jog_command.h"
#include "rocker/rocker_service/jog_decision.h"
#include "rocker/rocker_service/rocker_clock.h"
#include "rocker/rocker_service/rocker_settings.h"
#include "rocker/rocker_service/stick_checks.h"
#include "rocker/rocker_service/stick_sample.h"

namespace velk::common_interface {
class RobotInterface;
class ZorvApi;
}  // namespace velk::common_interface

namespace velk::zorv_control {
class ModbusWrapperImpl;
}  // namespace velk::zorv_control

namespace velk::zorv_comm {

// Turns the hand-held six-axis joystick (the "rocker", a Modbus slave) into
// Cartesian jog motion of the robot.
//
// Once per period the motion task calls updateRockerData() and then
// motion(): the first powers and registers the joystick while the robot is
// in mode 8, takes the values the registry's poll thread has read, drives
// the lights and handles the buttons; the second decides from this cycle's
// and the previous cycle's stick values whether to start one speed command
// or to stop it. A jog is one speedLine and one stopLine, nothing between.
//
// Threads: construction and the settings run on the host thread before the
// task starts; everything else on the periodic task thread. The only thing
// shared with another thread is the registry, through its own locks.
class RockerService {
 public:
  using ValueMap = StickChecks::ValueMap;

  static constexpr const char* kVersion = "0.3.0";

  RockerService(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                std::string device_info);
  // For callers that bring their own registry (a null one is created here)
  // and their own clock, such as simulators and tests.
  RockerService(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                std::string device_info, std::shared_ptr<zorv_control::ModbusWrapperImpl> registry,
                RockerClock clock);
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
  const ValueMap& currentValues() const { return current_values_; }
  const ValueMap& previousValues() const { return previous_values_; }

 private:
  void takeJoystickData();
  void decideMotion();
  void hostCallFailed();
  void powerOnJoystick(common_interface::RobotInterface& robot);
  void resetValues();
  // Counts consecutive error cycles, switching jogging off past the limit;
  // returns whether this cycle has a read error.
  bool takeReadErrorState(const std::vector<int>& errors);
  void switchOffUnreadable();
  // Ends an active jog whose joystick data can no longer be trusted: the
  // connection was declared lost, or the stick values are too old.
  void guardActiveJog(const StickSample& sample);
  void beginReadError();
  void endReadError(const std::vector<std::string>& names, const std::vector<int>& values);
  void recordPendingFirmwareVersion();
  static void copyValues(const ValueMap& from, ValueMap& to);
  void storeValues(const std::vector<std::string>& names, const std::vector<int>& values);
  void dumpValuesIfMoved();
  // False when the indicator rule that applied ends the data step.
  bool applyIndicatorRules();
  void handlePowerButton();
  void switchRockerOn();
  void switchRockerOff();
  void handleSpeedButton();
  void stopIfNotSteady();
  void setOutput(const char* name, uint16_t value);

  void startJog();
  // False when the host gave nothing usable to compute the command from.
  bool sendSpeedCommand(common_interface::RobotInterface& robot);
  // The stop steps: "Rocker stop", its cause, the stop command.
  void stopJog(JogStopCause cause, const std::string& detail);
  void sendStop();
  // Stops a running jog from outside the decision (joystick lost or switched
  // off): a jog must never outlive the joystick that started it.
  void endActiveJog(JogStopCause cause);

  uint16_t firmware_version_word_;
  uint16_t hardware_version_word_;
  std::shared_ptr<zorv_control::ModbusWrapperImpl> registry_;
  ChangeDetector enabled_;
  ChangeDetector power_button_;
  ChangeDetector speed_button_;
  ChangeDetector read_error_;
  bool rocker_on_;
  int speed_mode_;
  bool debug_;
  std::string device_info_;
  std::vector<std::string> signal_names_;
  ValueMap current_values_;
  ValueMap previous_values_;
  double pose_speed_slow_;
  double pose_speed_fast_;
  double pose_speed_;
  double ori_velc_;
  double acc_;
  std::shared_ptr<common_interface::ZorvApi> api_;
  LogCallback log_;
  HostCallGuard guard_;
  std::string config_path_;

  // After the registry, so that they are gone before its poll thread ends.
  JogDecision decision_;
  InputWatchdog watchdog_;
  JogCommand command_;
  IndicatorLight indicator_;

  // This cycle's stick values were read cleanly and are young enough to
  // start a jog on.
  bool stick_fresh_;
  // A stop command was due and has not returned yet (the host threw, or
  // there was no robot to send it to).
  bool stop_pending_;
  int stick_rate_;
  // The last stick values a fresh cycle took before this one: a push is
  // a growth from them (the previous values, unless cycles in between
  // were not fresh).
  ValueMap push_reference_;
  // The registry's signals as this cycle took them.
  zorv_control::SignalSnapshot snapshot_;
  // Jogging was switched on; the firmware version still waits for a clean
  // read to be recorded.
  bool firmware_record_pending_;
  bool firmware_read_clean_;
};

}  // namespace velk::zorv_comm
