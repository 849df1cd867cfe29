#include "rocker/rocker_service/rocker_service.h"

#include <chrono>
#include <sstream>
#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "host/common_interface/io_control.h"
#include "host/common_interface/robot_manage.h"
#include "host/common_interface/runtime_machine.h"
#include "host/common_interface/system_info.h"
#include "host/common_interface/zorv_api.h"
#include "rocker/rocker_service/axis_assignment.h"
#include "rocker/rocker_service/indicator_code.h"
#include "rocker/rocker_service/package_file.h"
#include "rocker/rocker_service/robot_codes.h"
#include "rocker/rocker_service/robot_handles.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

namespace {

using Table = RockerSignalTable;

// Tool voltage that powers the joystick; it is switched off first so the
// joystick always sees a clean power-up.
constexpr int kToolVoltageOff = 0;
constexpr int kToolVoltageOn = 24;
// Change of any axis above this shows up in the debug dump.
constexpr int kDumpLimit = 3;

constexpr const char* kHostCallFailed = "Rocker host call failed: ";
constexpr const char* kShutdownFailed = "Rocker stop failed at shutdown: ";

constexpr double kStopDeceleration = 4.0;

}  // namespace

RockerService::RockerService(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                             std::string device_info)
    : RockerService(std::move(api), std::move(log), std::move(device_info), nullptr,
                    RockerClock::realTime()) {}

RockerService::RockerService(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                             std::string device_info,
                             std::shared_ptr<zorv_control::ModbusWrapperImpl> registry,
                             RockerClock clock, SnapshotSource snapshots)
    : rocker_on_(false),
      speed_mode_(0),
      debug_(false),
      pose_speed_slow_(0.01),
      pose_speed_fast_(0.1),
      pose_speed_(0),
      api_(std::move(api)),
      log_(std::move(log)),
      guard_(log_),
      registration_(log_, std::move(device_info)),
      decision_(log_, RockerClock::completed(clock)),
      input_(log_, RockerClock::completed(clock).monotonic),
      speeds_(log_, api_, input_,
              [this](zorv_control::SignalSnapshot& snapshot) { snapshots_(snapshot); }),
      rate_check_(log_, RockerClock::completed(clock).monotonic),
      stop_pending_(false),
      snapshots_(std::move(snapshots)) {
  VELK_LOG(log_, kLogInfo) << "RockerService Version:" << kVersion;
  VELK_LOG(log_, kLogInfo) << "RockerService startup.";
  registry_ =
      registry ? std::move(registry) : std::make_shared<zorv_control::ModbusWrapperImpl>(log_);
  registration_.useRegistry(registry_);
  indicator_.useRegistry(registry_);
  rate_check_.useRateSource([this] { return registration_.measuredStickRate(); });
  if (!snapshots_) {
    snapshots_ = [registry = registry_.get()](zorv_control::SignalSnapshot& snapshot) {
      registry->modbusGetSignalSnapshot(snapshot);
    };
  }
}

// A jog must not outlive the service that started it: the host releases
// the service when it stops or restarts the extension.
RockerService::~RockerService() { haltJog(); }

// One more try at a stop still pending, then the end of a jog in progress;
// nothing the host throws gets out to it.
void RockerService::haltJog() noexcept {
  guard_.attempt(kShutdownFailed, [this] {
    if (stop_pending_) sendStop();
    endActiveJog(JogStopCause::kShutdown);
  });
}

void RockerService::enable() { registration_.add(); }

void RockerService::disable() { registration_.remove(); }

void RockerService::setProperty(double pose_speed_fast, double pose_speed_slow, double ori_velc,
                                double acc, double rotation) {
  pose_speed_fast_ = pose_speed_fast;
  pose_speed_slow_ = pose_speed_slow;
  speeds_.setProperty(pose_speed_fast, ori_velc, acc, rotation);
  pose_speed_ = pose_speed_fast_;
  VELK_LOG(log_, kLogInfo) << "Rocker teach pose velc:" << pose_speed_
                           << " origin velc:" << ori_velc << " acc:" << acc
                           << " rotation_angle:" << rotation;
}

void RockerService::setDebug(bool debug) { debug_ = debug; }

void RockerService::setAxis(int x, int y, int z) {
  speeds_.setAxis(x, y, z);
  VELK_LOG(log_, kLogInfo) << "Rocker X -> Coordinate " << AxisAssignment(x).label();
  VELK_LOG(log_, kLogInfo) << "Rocker Y -> Coordinate " << AxisAssignment(y).label();
  VELK_LOG(log_, kLogInfo) << "Rocker Z -> Coordinate " << AxisAssignment(z).label();
}

void RockerService::setConfigPath(const std::string& path) {
  if (&path != &config_path_) config_path_ = path;
}

void RockerService::configure(const RockerSettings& settings) {
  setDebug(settings.debug != 0);
  setProperty(settings.pose_speed_fast, settings.pose_speed_slow, settings.ori_velc, settings.acc,
              settings.rotation);
  setAxis(settings.tool_x, settings.tool_y, settings.tool_z);
  speeds_.configure(settings);
  decision_.configure(settings);
  input_.setInputTimeout(settings.input_timeout);
  input_.setStickLimit(settings.stick_limit);
  registration_.setStickRate(settings.stick_rate);
}

bool RockerService::updateConfig(const std::string& version) {
  return PackageFile(log_, config_path_).recordFirmwareVersion(version);
}

std::shared_ptr<common_interface::RobotInterface> RockerService::getRobotInterface() {
  if (!api_) return nullptr;
  const std::vector<std::string> names = api_->getRobotNames();
  if (names.empty()) return nullptr;
  return api_->getRobotInterface(names.front());
}

long long RockerService::currentTime() {
  if (!api_) return 0;
  const auto info = api_->getSystemInfo();
  return info ? info->getControlSystemTime() : 0;
}

void RockerService::updateRockerData() {
  guard_.run(
      kHostCallFailed, [this] { takeJoystickData(); }, [this] { hostCallFailed(); });
}

void RockerService::takeJoystickData() {
  if (!registration_.registered()) {
    input_.skip();
    const auto robot = getRobotInterface();
    if (robot && stateOf(*robot)->getRobotModeType() == RobotCodes::kJoystickPoweredMode) {
      powerOnJoystick(*robot);
    }
    return;
  }
  const auto robot = getRobotInterface();
  if (robot && stateOf(*robot)->getRobotModeType() != RobotCodes::kJoystickPoweredMode) {
    endActiveJog(JogStopCause::kJoystickRemoved);
    input_.clear();
    disable();
    rate_check_.forget();
  }
  getRockerData();
  rate_check_.update(input_.inputTimeout());
}

// A joystick powered anew starts with its lights off, so jogging starts off
// too: the operator switches it on again deliberately. Off before the tool
// voltage is touched, so that a call that fails cannot leave it on.
void RockerService::powerOnJoystick(common_interface::RobotInterface& robot) {
  const bool was_on = rocker_on_;
  rocker_on_ = false;
  endActiveJog(JogStopCause::kSwitchedOff);
  const auto io = HostCallGuard::require(robot.getIoControl(), "getIoControl");
  io->setToolVoltageOutputDomain(kToolVoltageOff);
  io->setToolVoltageOutputDomain(kToolVoltageOn);
  VELK_LOG(log_, kLogInfo) << "Rocker power on";
  if (was_on) {
    VELK_LOG(log_, kLogInfo)
        << "Rocker switched off: the joystick was powered anew; the power button switches it on";
  }
  input_.reset();
  enable();
  // Once registered the lights can be written: they say what the service
  // runs under, whatever the joystick came up showing.
  setOutput(Table::kPowerLight, 0);
  setOutput(Table::kSpeedLight, speed_mode_ == 0 ? 0 : 1);
  registration_.applyStickRate();
}

void RockerService::getRockerData() {
  if (!registration_.registered()) {
    input_.skip();
    return;
  }
  // One snapshot under one lock, into buffers kept from cycle to cycle: the
  // names, values and error states agree with each other, and a cycle at
  // rest allocates nothing for them.
  snapshots_(snapshot_);
  const StickReading& reading = input_.take(snapshot_, decision_.moving());
  actOn(reading);
  if (!reading.taken) return;
  dumpValuesIfMoved();
  version_.take(input_.current());
  recordFirmwareVersion(reading.firmware_read_clean);
  // While the error persists the light keeps showing it: the robot's
  // state would otherwise turn it back to "ready" on the next cycle.
  if (!reading.read_error && !applyIndicatorRules()) return;
  handlePowerButton();
  handleSpeedButton();
}

void RockerService::actOn(const StickReading& reading) {
  if (reading.switch_off_due) switchOffUnreadable();
  if (reading.stop) endActiveJog(*reading.stop);
  if (reading.read_error_began) {
    indicator_.show(IndicatorLight::kStateReadError, IndicatorCode::kReadError);
    VELK_LOG(log_, kLogError) << "Get rocker modbus data error!";
  }
  if (reading.read_error_ended) VELK_LOG(log_, kLogInfo) << "Get rocker modbus data success!";
}

void RockerService::switchOffUnreadable() {
  if (!rocker_on_) return;
  rocker_on_ = false;
  setOutput(Table::kPowerLight, 0);
  VELK_LOG(log_, kLogWarning)
      << "Rocker switched off: the joystick could not be read for more than "
      << std::chrono::duration<double>(StickInput::kReadErrorLimit).count() << " s in a row";
  endActiveJog(JogStopCause::kSwitchedOff);
}

void RockerService::recordFirmwareVersion(bool read_clean) {
  if (version_.recordDue(read_clean)) updateConfig(version_.firmwareText());
}

void RockerService::dumpValuesIfMoved() {
  const ValueMap& values = input_.current();
  if (!debug_ || StickChecks::steady(values, input_.previous(), Table::kCount, kDumpLimit, log_)) {
    return;
  }
  std::ostringstream text;
  for (const char* axis : Table::axes()) {
    text << (axis == Table::axes().front() ? "" : ",")
         << static_cast<int>(StickChecks::valueOf(values, axis));
  }
  VELK_LOG(log_, kLogDebug) << "name:(x,y,z,rx,ry,rz)"
                            << "value(" << text.str() << ")";
}

bool RockerService::applyIndicatorRules() {
  const auto robot = getRobotInterface();
  return robot && indicator_.applyRules(*robot, *api_);
}

void RockerService::setLEDStatusOnPaused() { indicator_.blinkPaused(); }

void RockerService::handlePowerButton() {
  power_button_.update(StickChecks::valueOf(input_.current(), Table::kPowerButton) != 0);
  if (!power_button_.risingEdge()) return;
  rocker_on_ = !rocker_on_;
  if (rocker_on_) {
    switchRockerOn();
    return;
  }
  setOutput(Table::kPowerLight, 0);
  VELK_LOG(log_, kLogInfo) << "close rocker";
  endJogOrSteady(JogStopCause::kSwitchedOff);
}

void RockerService::switchRockerOn() {
  setOutput(Table::kPowerLight, 1);
  VELK_LOG(log_, kLogInfo) << "startup rocker";
  VELK_LOG(log_, kLogInfo) << "rocker version: " << kVersion
                           << " firmware version: " << version_.firmwareText()
                           << " hardware version: " << version_.hardwareText();
  version_.wantRecord();
  recordFirmwareVersion(input_.reading().firmware_read_clean);
  input_.requireCentre();
  stopIfNotSteady();
}

void RockerService::handleSpeedButton() {
  speed_button_.update(StickChecks::valueOf(input_.current(), Table::kSpeedButton) != 0);
  if (!speed_button_.risingEdge()) return;
  speed_mode_ = ~speed_mode_;
  if (speed_mode_ == 0) {
    setOutput(Table::kSpeedLight, 0);
    pose_speed_ = pose_speed_fast_;
    VELK_LOG(log_, kLogInfo) << "Rocker fast mode";
  } else {
    setOutput(Table::kSpeedLight, 1);
    pose_speed_ = pose_speed_slow_;
    VELK_LOG(log_, kLogInfo) << "Rocker slow mode";
  }
  // A jog at the old speed ends; the next one starts at the new speed.
  endJogOrSteady(JogStopCause::kSpeedChanged);
}

// Ending the jog sends the stop itself; a second one would add nothing.
void RockerService::endJogOrSteady(JogStopCause cause) {
  if (decision_.moving()) {
    endActiveJog(cause);
  } else {
    stopIfNotSteady();
  }
}

void RockerService::stopIfNotSteady() {
  const auto robot = getRobotInterface();
  if (!robot || stateOf(*robot)->isSteady()) return;
  motionOf(*robot)->stopLine(kStopDeceleration, kStopDeceleration);
}

void RockerService::setOutput(const char* name, uint16_t value) {
  registry_->modbusSetOutputSignal(name, value);
}

bool RockerService::range(ValueMap values, std::size_t n, int limit) {
  return StickChecks::centred(values, n, limit);
}

bool RockerService::range(ValueMap a, ValueMap b, std::size_t n, int limit) {
  return StickChecks::steady(a, b, n, limit, log_);
}

void RockerService::motion() {
  guard_.run(
      kHostCallFailed, [this] { decideMotion(); }, [this] { hostCallFailed(); });
  guard_.endRound();
}

void RockerService::decideMotion() {
  // A jog counts as ended only once its stop has gone out.
  if (stop_pending_) {
    decision_.disarm();
    sendStop();
    if (stop_pending_) return;
  }
  // A jog ends with the conditions it was started under: once the decision
  // no longer runs, nothing else would see the stick released.
  if (!rocker_on_) {
    endActiveJog(JogStopCause::kSwitchedOff);
    return;
  }
  const auto robot = getRobotInterface();
  // A jog that loses its robot keeps its stop pending until there is one to
  // send it to.
  if (!robot) {
    endActiveJog(JogStopCause::kHostFault);
    return;
  }
  if (HostCallGuard::require(robot->getRobotManage(), "getRobotManage")->isFreedriveEnabled() ||
      HostCallGuard::require(api_->getRuntimeMachine(), "getRuntimeMachine")->getStatus() !=
          RobotCodes::kRuntimeJogAllowed ||
      stateOf(*robot)->getSafetyModeType() != RobotCodes::kNormalSafetyMode) {
    endActiveJog(JogStopCause::kGateClosed);
    return;
  }
  decisionFullView();
}

void RockerService::decisionFullView() {
  const JogVerdict verdict = decision_.decide(input_.frame());
  if (verdict.push_held_back) input_.holdBackStart();
  if (verdict.action == JogVerdict::Action::kStart) startJog();
  if (verdict.action == JogVerdict::Action::kStop) stopJog(verdict.cause, verdict.detail);
  if (verdict.action == JogVerdict::Action::kNothing && decision_.moving()) followStick();
}

void RockerService::startJog() {
  decision_.beginJog();
  const auto robot = getRobotInterface();
  const auto start =
      robot ? speeds_.start(*robot, pose_speed_) : JogSpeedCommands::Start::kNoCommand;
  if (start == JogSpeedCommands::Start::kNoCommand) endActiveJog(JogStopCause::kHostFault);
  if (start == JogSpeedCommands::Start::kDropped) decision_.endJog();
}

void RockerService::followStick() {
  if (!speeds_.followDue()) return;
  const auto robot = getRobotInterface();
  if (!robot || !speeds_.follow(*robot, pose_speed_)) endActiveJog(JogStopCause::kHostFault);
}

void RockerService::stopJog(JogStopCause cause, const std::string& detail) {
  decision_.finishJog();
  VELK_LOG(log_, kLogInfo) << "Rocker stop cause: " << jogStopCauseText(cause)
                           << (detail.empty() ? "" : " (" + detail + ")");
  // Anything but the operator letting go may have left the stick held: the
  // next jog waits for it to be seen centred.
  if (!isOperatorRelease(cause)) input_.requireCentre();
  sendStop();
}

// Pending until stopLine has returned: a stop the host threw on is sent
// again every cycle.
void RockerService::sendStop() {
  stop_pending_ = true;
  const auto robot = getRobotInterface();
  if (!robot) return;
  motionOf(*robot)->stopLine(kStopDeceleration, kStopDeceleration);
  stop_pending_ = false;
}

void RockerService::endActiveJog(JogStopCause cause) {
  if (decision_.endJog()) stopJog(cause, {});
}

// A host call threw: whatever the cycle was doing is abandoned, a jog in
// progress ends, since nothing may be seeing its release any more, and the
// next one waits for the stick to be centred. A stop that throws as well
// stays pending and goes out again next cycle.
void RockerService::hostCallFailed() {
  input_.requireCentre();
  endActiveJog(JogStopCause::kHostFault);
}

}  // namespace velk::zorv_comm
