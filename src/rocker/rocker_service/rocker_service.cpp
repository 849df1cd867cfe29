#include "rocker/rocker_service/rocker_service.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "host/common_interface/io_control.h"
#include "host/common_interface/motion_control.h"
#include "host/common_interface/robot_interface.h"
#include "host/common_interface/robot_manage.h"
#include "host/common_interface/robot_state.h"
#include "host/common_interface/runtime_machine.h"
#include "host/common_interface/system_info.h"
#include "host/common_interface/zorv_api.h"
#include "host/common_interface/zorv_math.h"
#include "rocker/rocker_service/axis_assignment.h"
#include "rocker/rocker_service/package_file.h"
#include "rocker/rocker_service/rocker_signal_table.h"
#include "rocker/rocker_service/version_word.h"

namespace velk::zorv_comm {

namespace {

using Table = RockerSignalTable;

// Robot and runtime states the service reacts to.
constexpr int kJoystickPoweredMode = 8;
constexpr int kNormalSafetyMode = 1;
constexpr int kRuntimeStopped = 0;
constexpr int kRuntimePaused = 3;
constexpr int kRuntimeJogAllowed = 6;

// Tool voltage that powers the joystick; it is switched off first so the
// joystick always sees a clean power-up.
constexpr int kToolVoltageOff = 0;
constexpr int kToolVoltageOn = 24;

// After this many cycles in a row with a read error jogging is switched off.
constexpr int kReadErrorLimit = 100;

// Indicator states and the codes the joystick shows for them.
constexpr int kStateReadError = 1;
constexpr int kStateSafetyStop = 2;
constexpr int kStateStopped = 3;
constexpr int kStateFreedrive = 4;
constexpr int kStateJogReady = 5;
constexpr int kStatePaused = 6;
constexpr uint16_t kCodeReadError = 0;
constexpr uint16_t kCodeSafetyStop = 3;
constexpr uint16_t kCodeStopped = 2;
constexpr uint16_t kCodeFreedrive = 4;
constexpr uint16_t kCodeJogReady = 1;
// The paused blink: code 2 for steps 0..100, code 0 for steps 101..199.
constexpr uint16_t kCodePausedOn = 2;
constexpr uint16_t kCodePausedOff = 0;
constexpr int kPausedOnLastStep = 100;
constexpr int kPausedLastStep = 199;

// Change of any axis above this shows up in the debug dump.
constexpr int kDumpLimit = 3;

// Motion decision thresholds, in raw stick units.
constexpr int kPushThreshold = 10;
constexpr int kDeflectionThreshold = 200;
constexpr int kSteadinessLimit = 30;
constexpr int kReleaseThreshold = 15;
constexpr int kImmediateStopThreshold = 50;
constexpr int kStopCountLimit = 2;
constexpr std::size_t kCentreAxes = 6;
constexpr int kCentreLimit = 10;
constexpr int kThirdAxisDeadBand = 200;
constexpr double kAxisScale = 1000.0;

// Jogs closer together than this make the arm clatter; the next start is
// held back by the delay.
constexpr int64_t kMinimumPauseMs = 200;
constexpr unsigned int kStartDelayUs = 100000;

constexpr double kSpeedCommandTime = 100.0;
constexpr double kStopDeceleration = 4.0;
constexpr std::size_t kPoseSize = 6;

int magnitudeOf(int16_t value) { return std::abs(static_cast<int>(value)); }

std::string joined(const std::vector<double>& values) {
  std::ostringstream text;
  for (std::size_t i = 0; i < values.size(); ++i) text << (i == 0 ? "" : ",") << values[i];
  return text.str();
}

}  // namespace

std::atomic<int> RockerService::paused_blink_step_{0};

RockerService::RockerService(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                             std::string device_info)
    : RockerService(std::move(api), std::move(log), std::move(device_info), nullptr,
                    RockerClock::realTime()) {}

RockerService::RockerService(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                             std::string device_info,
                             std::shared_ptr<zorv_control::ModbusWrapperImpl> registry,
                             RockerClock clock)
    : firmware_version_word_(0),
      hardware_version_word_(0),
      indicator_state_(0),
      read_error_count_(0),
      rocker_on_(false),
      speed_mode_(0),
      debug_(false),
      moving_(false),
      armed_(false),
      sign_watch_axis_(Table::kX),
      stop_time_{},
      start_time_{},
      device_info_(std::move(device_info)),
      axis_x_(0),
      axis_y_(0),
      axis_z_(0),
      reversal_count_(0),
      pose_speed_slow_(0.01),
      pose_speed_fast_(0.1),
      pose_speed_(0),
      ori_velc_(0),
      acc_(0),
      rotation_angle_(0),
      api_(std::move(api)),
      log_(std::move(log)),
      clock_(std::move(clock)),
      input_timeout_s_(kDefaultInputTimeout),
      stick_fresh_(false),
      centre_seen_(false),
      hold_back_logged_(false),
      old_values_reported_(false),
      firmware_record_pending_(false),
      firmware_read_clean_(false) {
  const RockerClock real = RockerClock::realTime();
  if (!clock_.now) clock_.now = real.now;
  if (!clock_.sleep) clock_.sleep = real.sleep;
  for (const auto& entry : Table::entries()) signal_names_.emplace_back(entry.name);
  stop_time_ = clock_.now();
  start_time_ = clock_.now();
  VELK_LOG(log_, kLogInfo) << "RockerService Version:" << kVersion;
  VELK_LOG(log_, kLogInfo) << "RockerService startup.";
  registry_ =
      registry ? std::move(registry) : std::make_shared<zorv_control::ModbusWrapperImpl>(log_);
  enabled_ = ChangeDetector{};
  power_button_ = ChangeDetector{};
  motion_request_ = ChangeDetector{};
  speed_button_ = ChangeDetector{};
  read_error_ = ChangeDetector{};
  rocker_on_ = false;
  speed_mode_ = 0;
  resetValues();
}

// A jog must not outlive the service that started it: the host releases
// the service when it stops or restarts the extension.
RockerService::~RockerService() {
  try {
    endActiveJog();
  } catch (...) {
    // The host's API failed; a destructor has nobody to report to.
  }
}

void RockerService::haltJog() { endActiveJog(); }

// ---------------------------------------------------------------- settings

void RockerService::enable() {
  enabled_.update(true);
  for (std::size_t index : Table::registrationOrder()) {
    const auto& entry = Table::entries()[index];
    registry_->modbusAddSignal(device_info_, Table::kSlave, entry.address,
                               static_cast<int>(entry.type), entry.name);
  }
  VELK_LOG(log_, kLogInfo) << "Rocker modbus siganl add finish";
}

void RockerService::disable() {
  enabled_.update(false);
  for (const auto& name : signal_names_) registry_->modbusDeleteSignal(name);
  VELK_LOG(log_, kLogInfo) << "Rocker modbus siganl remove finish";
}

void RockerService::setProperty(double pose_speed_fast, double pose_speed_slow, double ori_velc,
                                double acc, double rotation) {
  pose_speed_fast_ = pose_speed_fast;
  pose_speed_slow_ = pose_speed_slow;
  ori_velc_ = ori_velc;
  acc_ = acc;
  rotation_angle_ = rotation;
  pose_speed_ = pose_speed_fast_;
  VELK_LOG(log_, kLogInfo) << "Rocker teach pose velc:" << pose_speed_
                           << " origin velc:" << ori_velc_ << " acc:" << acc_
                           << " rotation_angle:" << rotation_angle_;
}

void RockerService::setDebug(bool debug) { debug_ = debug; }

void RockerService::setAxis(int x, int y, int z) {
  axis_x_ = x;
  axis_y_ = y;
  axis_z_ = z;
  VELK_LOG(log_, kLogInfo) << "Rocker X -> Coordinate " << AxisAssignment(x).label();
  VELK_LOG(log_, kLogInfo) << "Rocker Y -> Coordinate " << AxisAssignment(y).label();
  VELK_LOG(log_, kLogInfo) << "Rocker Z -> Coordinate " << AxisAssignment(z).label();
}

void RockerService::setConfigPath(const std::string& path) {
  if (&path != &config_path_) config_path_ = path;
}

void RockerService::setInputTimeout(double seconds) { input_timeout_s_ = seconds; }

bool RockerService::updateConfig(const std::string& version) {
  return PackageFile(log_, config_path_).recordFirmwareVersion(version);
}

// -------------------------------------------------------------- host access

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

// ------------------------------------------------------------ joystick data

void RockerService::updateRockerData() {
  if (!enabled_.value) {
    stick_fresh_ = false;
    const auto robot = getRobotInterface();
    if (robot && robot->getRobotState()->getRobotModeType() == kJoystickPoweredMode) {
      powerOnJoystick(*robot);
    }
    return;
  }
  const auto robot = getRobotInterface();
  if (robot && robot->getRobotState()->getRobotModeType() != kJoystickPoweredMode) {
    endActiveJog();
    current_values_.clear();
    previous_values_.clear();
    push_reference_.clear();
    disable();
  }
  getRockerData();
}

void RockerService::powerOnJoystick(common_interface::RobotInterface& robot) {
  const auto io = robot.getIoControl();
  io->setToolVoltageOutputDomain(kToolVoltageOff);
  io->setToolVoltageOutputDomain(kToolVoltageOn);
  VELK_LOG(log_, kLogInfo) << "Rocker power on";
  resetValues();
  enable();
  requireCentre();
}

void RockerService::resetValues() {
  for (const auto& name : signal_names_) {
    current_values_[name] = 0;
    previous_values_[name] = 0;
  }
  push_reference_ = previous_values_;
}

void RockerService::getRockerData() {
  // The values the last cycle took are what the next push is measured
  // against, if the decision could act on them.
  if (stick_fresh_) push_reference_ = current_values_;
  stick_fresh_ = false;
  firmware_read_clean_ = false;
  if (!enabled_.value) return;
  const std::vector<std::string> names = registry_->modbusGetSignalNames();
  const std::vector<int> values = registry_->modbusGetSignalValues();
  const std::vector<int> errors = registry_->modbusGetSignalErrors();
  const std::vector<StickSample::Clock::time_point> read_times =
      registry_->modbusGetSignalReadTimes();
  if (names.size() != Table::kCount || values.size() != Table::kCount ||
      errors.size() != Table::kCount || read_times.size() != Table::kCount) {
    endActiveJog();  // no data to judge a jog by
    return;
  }
  const StickSample sample(names, errors, read_times);
  const bool read_error = takeReadErrorState(errors);
  read_error_.update(read_error);
  guardActiveJog(sample);
  if (read_error_.risingEdge()) {
    read_error_since_ = StickSample::Clock::now();
    showIndicator(kStateReadError, kCodeReadError);
    VELK_LOG(log_, kLogError) << "Get rocker modbus data error!";
    // Without the age check the first failed read is the only sign of a
    // joystick that has gone quiet.
    if (input_timeout_s_ <= 0) endActiveJog();
    // This cycle's values are not taken; the decision must not see the last
    // change once more as if it were new.
    previous_values_ = current_values_;
    return;
  }
  if (read_error_.fallingEdge()) {
    VELK_LOG(log_, kLogInfo) << "Get rocker modbus data success!";
    // A stick that moved while it could not be read for longer than its
    // values count as current may have been pushed unseen. A glitch shorter
    // than that is no more than a read that came late.
    if (readErrorOutlastedInputTimeout() && stickMovedUnseen(names, values)) requireCentre();
  }
  storeValues(names, values);
  const bool young = stickValuesYoung(sample);
  if (!read_error) reportOldValues(young, sample);
  observeStick(!read_error && young, sample);
  dumpValuesIfMoved();
  firmware_version_word_ = static_cast<uint16_t>(current_values_[Table::kFirmwareVersion]);
  hardware_version_word_ = static_cast<uint16_t>(current_values_[Table::kHardwareVersion]);
  firmware_read_clean_ = !read_error && sample.wasRead(Table::kFirmwareVersion);
  recordPendingFirmwareVersion();
  if (applyIndicatorRules() == StepEnd::kReturn) return;
  handlePowerButton();
  handleSpeedButton();
}

bool RockerService::takeReadErrorState(const std::vector<int>& errors) {
  const bool error = std::any_of(errors.begin(), errors.end(), [](int e) { return e != 0; });
  if (!error) {
    read_error_count_ = 0;
    return false;
  }
  if (++read_error_count_ > kReadErrorLimit) {
    read_error_count_ = 0;
    switchOffUnreadable();
  }
  return true;
}

void RockerService::switchOffUnreadable() {
  if (!rocker_on_) return;
  rocker_on_ = false;
  setOutput(Table::kPowerLight, 0);
  VELK_LOG(log_, kLogWarning)
      << "Rocker switched off: the joystick could not be read for more than " << kReadErrorLimit
      << " cycles in a row";
  endActiveJog();
}

void RockerService::guardActiveJog(const StickSample& sample) {
  if (!moving_) return;
  if (sample.connectionLost()) {
    endActiveJog();
    return;
  }
  if (stickValuesYoung(sample)) return;
  const std::string age =
      sample.everyAxisRead() ? std::to_string(ageInMs(sample)) + " ms old" : "not all read yet";
  VELK_LOG(log_, kLogWarning) << "Rocker stop: the stick values are " << age
                              << ", input_timeout is " << input_timeout_s_ << " s";
  old_values_reported_ = true;
  endActiveJog();
}

bool RockerService::stickValuesYoung(const StickSample& sample) const {
  if (!sample.everyAxisRead()) return false;
  if (input_timeout_s_ <= 0) return true;
  const std::chrono::duration<double> age = StickSample::Clock::now() - sample.oldestAxisRead();
  return age.count() <= input_timeout_s_;
}

// Read without error and still too old: a slave or line slower than
// input_timeout allows. Said once, until the values are young again.
void RockerService::reportOldValues(bool young, const StickSample& sample) {
  if (young || !sample.everyAxisRead()) {
    old_values_reported_ = false;
    return;
  }
  if (old_values_reported_) return;
  old_values_reported_ = true;
  VELK_LOG(log_, kLogWarning) << "Rocker joystick values are " << ageInMs(sample)
                              << " ms old, input_timeout is " << input_timeout_s_
                              << " s: no jog starts on them";
}

long long RockerService::ageInMs(const StickSample& sample) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(StickSample::Clock::now() -
                                                               sample.oldestAxisRead())
      .count();
}

void RockerService::observeStick(bool fresh, const StickSample& sample) {
  stick_fresh_ = fresh;
  if (fresh && sample.oldestAxisRead() > centre_required_since_ &&
      range(current_values_, kCentreAxes, kCentreLimit)) {
    centre_seen_ = true;
  }
}

bool RockerService::readErrorOutlastedInputTimeout() const {
  const std::chrono::duration<double> lasted = StickSample::Clock::now() - read_error_since_;
  return input_timeout_s_ <= 0 || lasted.count() > input_timeout_s_;
}

bool RockerService::stickMovedUnseen(const std::vector<std::string>& names,
                                     const std::vector<int>& values) {
  for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) {
    const auto& axes = Table::axes();
    if (std::find(axes.begin(), axes.end(), names[i]) == axes.end()) continue;
    const int now = static_cast<int16_t>(static_cast<uint16_t>(values[i]));
    if (std::abs(now - static_cast<int>(current_values_[names[i]])) > kSteadinessLimit) {
      return true;
    }
  }
  return false;
}

void RockerService::requireCentre() {
  centre_seen_ = false;
  hold_back_logged_ = false;
  centre_required_since_ = StickSample::Clock::now();
}

void RockerService::recordPendingFirmwareVersion() {
  // A version word read in error, or never read, would record 0.0.0 over
  // the joystick's real version.
  if (!firmware_record_pending_ || !firmware_read_clean_) return;
  firmware_record_pending_ = false;
  updateConfig(VersionWord(firmware_version_word_).fullText());
}

void RockerService::storeValues(const std::vector<std::string>& names,
                                const std::vector<int>& values) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    previous_values_[names[i]] = current_values_[names[i]];
    // The registry widens without sign; the axes are two's complement.
    current_values_[names[i]] = static_cast<int16_t>(static_cast<uint16_t>(values[i]));
  }
}

void RockerService::dumpValuesIfMoved() {
  if (!debug_ || range(current_values_, previous_values_, Table::kCount, kDumpLimit)) return;
  std::ostringstream text;
  for (const char* axis : Table::axes()) {
    text << (axis == Table::axes().front() ? "" : ",") << static_cast<int>(current_values_[axis]);
  }
  VELK_LOG(log_, kLogDebug) << "name:(x,y,z,rx,ry,rz)"
                            << "value(" << text.str() << ")";
}

RockerService::StepEnd RockerService::applyIndicatorRules() {
  const auto robot = getRobotInterface();
  if (!robot) return StepEnd::kReturn;
  if (robot->getRobotState()->getSafetyModeType() != kNormalSafetyMode) {
    if (indicator_state_ == kStateSafetyStop) return StepEnd::kContinue;
    showIndicator(kStateSafetyStop, kCodeSafetyStop);
    return StepEnd::kReturn;
  }
  const int status = api_->getRuntimeMachine()->getStatus();
  if (status == kRuntimeStopped) {
    if (indicator_state_ == kStateStopped) return StepEnd::kContinue;
    showIndicator(kStateStopped, kCodeStopped);
    return StepEnd::kReturn;
  }
  if (status == kRuntimeJogAllowed) {
    if (robot->getRobotManage()->isFreedriveEnabled()) {
      if (indicator_state_ == kStateFreedrive) return StepEnd::kContinue;
      showIndicator(kStateFreedrive, kCodeFreedrive);
      return StepEnd::kReturn;
    }
    if (indicator_state_ != kStateJogReady) showIndicator(kStateJogReady, kCodeJogReady);
    return StepEnd::kContinue;
  }
  if (status == kRuntimePaused) {
    indicator_state_ = kStatePaused;
    setLEDStatusOnPaused();
    return StepEnd::kReturn;
  }
  return StepEnd::kContinue;
}

void RockerService::showIndicator(int state, uint16_t code) {
  indicator_state_ = state;
  setOutput(Table::kIndicator, code);
}

void RockerService::setLEDStatusOnPaused() {
  const int step = paused_blink_step_.load();
  const uint16_t wanted = step <= kPausedOnLastStep ? kCodePausedOn : kCodePausedOff;
  if (registry_->modbusGetSignalStatus(Table::kIndicator) != wanted) {
    setOutput(Table::kIndicator, wanted);
  }
  paused_blink_step_.store(step + 1 > kPausedLastStep ? 0 : step + 1);
}

void RockerService::handlePowerButton() {
  power_button_.update(current_values_[Table::kPowerButton] != 0);
  if (!power_button_.risingEdge()) return;
  rocker_on_ = !rocker_on_;
  if (rocker_on_) {
    switchRockerOn();
  } else {
    switchRockerOff();
  }
}

void RockerService::switchRockerOn() {
  setOutput(Table::kPowerLight, 1);
  VELK_LOG(log_, kLogInfo) << "startup rocker";
  const std::string firmware = VersionWord(firmware_version_word_).fullText();
  const VersionWord hardware(hardware_version_word_);
  VELK_LOG(log_, kLogInfo) << "rocker version: " << kVersion << " firmware version: " << firmware
                           << " hardware version: " << hardware.majorNumber() << ":"
                           << hardware.minorNumber();
  firmware_record_pending_ = true;
  recordPendingFirmwareVersion();
  requireCentre();
  stopIfNotSteady();
}

void RockerService::switchRockerOff() {
  setOutput(Table::kPowerLight, 0);
  VELK_LOG(log_, kLogInfo) << "close rocker";
  // Ending the jog sends the stop itself; a second one would add nothing.
  if (moving_) {
    endActiveJog();
  } else {
    stopIfNotSteady();
  }
}

void RockerService::handleSpeedButton() {
  speed_button_.update(current_values_[Table::kSpeedButton] != 0);
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
  if (moving_) {
    endActiveJog();
  } else {
    stopIfNotSteady();
  }
}

void RockerService::stopIfNotSteady() {
  const auto robot = getRobotInterface();
  if (!robot || robot->getRobotState()->isSteady()) return;
  robot->getMotionControl()->stopLine(kStopDeceleration, kStopDeceleration);
}

void RockerService::setOutput(const char* name, uint16_t value) {
  registry_->modbusSetOutputSignal(name, value);
}

// ------------------------------------------------------------- range checks

bool RockerService::range(ValueMap values, std::size_t n, int limit) {
  std::size_t centred = 0;
  for (std::size_t i = 0; i < n && i < Table::axes().size(); ++i) {
    if (magnitudeOf(values[Table::axes()[i]]) < limit && ++centred >= n) return true;
  }
  return false;
}

bool RockerService::range(ValueMap a, ValueMap b, std::size_t n, int limit) {
  if (n != a.size() || n != b.size()) {
    VELK_LOG(log_, kLogDebug) << "equal false:" << a.size() << "," << b.size() << "," << n;
    return false;
  }
  for (const char* axis : Table::axes()) {
    if (std::abs(static_cast<int>(a[axis]) - static_cast<int>(b[axis])) > limit) return false;
  }
  return true;
}

// ---------------------------------------------------------- motion decision

void RockerService::motion() {
  // A jog ends with the conditions it was started under: once the decision
  // no longer runs, nothing else would see the stick released.
  if (!rocker_on_) {
    endActiveJog();
    return;
  }
  const auto robot = getRobotInterface();
  if (!robot) return;
  if (robot->getRobotManage()->isFreedriveEnabled() ||
      api_->getRuntimeMachine()->getStatus() != kRuntimeJogAllowed ||
      robot->getRobotState()->getSafetyModeType() != kNormalSafetyMode) {
    endActiveJog();
    return;
  }
  decisionFullView();
}

void RockerService::decisionFullView() {
  const bool stop_wanted = moving_ && releaseSeen();
  // Values the joystick did not deliver this cycle, or too old, neither arm
  // nor start: a stale copy of the last reading looks perfectly steady.
  if (stick_fresh_) {
    detectPush();
    checkStart();
  } else {
    armed_ = false;
  }
  motion_request_.update(motion_request_.value);
  if (!motion_request_.changed) return;
  if (stop_wanted) {
    stopJog();
  } else {
    startJog();
  }
}

bool RockerService::releaseSeen() {
  if (anyLinearAxisAbove(&RockerService::drop, kReleaseThreshold)) {
    if (immediateStopSeen()) return true;
    ++reversal_count_;
    VELK_LOG(log_, kLogInfo) << "摇杆反方向开始变化停止计数:" << reversal_count_ << "   "
                             << " get_x " << static_cast<int>(previous_values_[Table::kX]) << " :"
                             << static_cast<int>(current_values_[Table::kX])
                             << " get_y: " << static_cast<int>(previous_values_[Table::kY]) << " :"
                             << static_cast<int>(current_values_[Table::kY])
                             << " get_z: " << static_cast<int>(previous_values_[Table::kZ]) << " :"
                             << static_cast<int>(current_values_[Table::kZ]);
  }
  return stopCountSeen() || signReversalSeen();
}

bool RockerService::immediateStopSeen() {
  if (!anyLinearAxisAbove(&RockerService::drop, kImmediateStopThreshold)) return false;
  VELK_LOG(log_, kLogInfo) << "摇杆反方向变化大于" << kImmediateStopThreshold << " 直接停止"
                           << " get_x " << magnitudeOf(previous_values_[Table::kX]) << " :"
                           << magnitudeOf(current_values_[Table::kX])
                           << " get_y: " << magnitudeOf(previous_values_[Table::kY]) << " :"
                           << magnitudeOf(current_values_[Table::kY])
                           << " get_z: " << magnitudeOf(previous_values_[Table::kZ]) << " :"
                           << magnitudeOf(current_values_[Table::kZ]);
  requestStop();
  return true;
}

bool RockerService::stopCountSeen() {
  if (reversal_count_ <= kStopCountLimit && !range(current_values_, kCentreAxes, kCentreLimit)) {
    return false;
  }
  VELK_LOG(log_, kLogInfo) << "停止计数:" << reversal_count_ << " 检测停止";
  requestStop();
  return true;
}

bool RockerService::signReversalSeen() {
  const int current = current_values_[sign_watch_axis_];
  const int previous = previous_values_[sign_watch_axis_];
  if (!((current > 0 && previous < 0) || (current < 0 && previous > 0))) return false;
  requestStop();
  VELK_LOG(log_, kLogInfo) << "符号变反检测停止" << current << " : " << previous;
  return true;
}

void RockerService::detectPush() {
  if (moving_ || armed_ || !anyLinearAxisAbove(&RockerService::growth, kPushThreshold)) return;
  if (!centre_seen_) {
    holdBackStart();
    return;
  }
  armed_ = true;
}

void RockerService::holdBackStart() {
  if (hold_back_logged_) return;
  hold_back_logged_ = true;
  VELK_LOG(log_, kLogInfo)
      << "Rocker start held back: the stick has not been seen centred since the joystick "
         "was registered, read again or switched on; centre it first";
}

void RockerService::checkStart() {
  if (!armed_ || moving_) return;
  if (!anyLinearAxisAbove(&RockerService::magnitude, kDeflectionThreshold)) return;
  if (!range(current_values_, previous_values_, Table::kCount, kSteadinessLimit)) return;
  VELK_LOG(log_, kLogDebug) << "摇杆加速参数变化值:"
                            << " get_x " << static_cast<int>(current_values_[Table::kX]) << " : "
                            << static_cast<int>(previous_values_[Table::kX])
                            << " get_y: " << static_cast<int>(current_values_[Table::kY]) << " : "
                            << static_cast<int>(previous_values_[Table::kY])
                            << " get_z: " << static_cast<int>(current_values_[Table::kZ]) << " : "
                            << static_cast<int>(previous_values_[Table::kZ]);
  armed_ = false;
  motion_request_.value = true;
}

bool RockerService::anyLinearAxisAbove(int (RockerService::*measure)(const char*), int threshold) {
  for (const char* axis : Table::linearAxes()) {
    if ((this->*measure)(axis) > threshold) return true;
  }
  return false;
}

// Measured against the last values the decision could act on, so that a
// push made while a cycle or two were unread is seen once they are read.
int RockerService::growth(const char* axis) {
  return magnitudeOf(current_values_[axis]) - magnitudeOf(push_reference_[axis]);
}

int RockerService::drop(const char* axis) {
  return magnitudeOf(previous_values_[axis]) - magnitudeOf(current_values_[axis]);
}

int RockerService::magnitude(const char* axis) { return magnitudeOf(current_values_[axis]); }

void RockerService::requestStop() {
  reversal_count_ = 0;
  motion_request_.value = false;
}

void RockerService::startJog() {
  moving_ = true;
  start_time_ = clock_.now();
  const int64_t pause = RockerClock::millisecondsBetween(stop_time_, start_time_);
  VELK_LOG(log_, kLogInfo) << "time passed is: " << pause << "ms";
  if (pause < kMinimumPauseMs) {
    VELK_LOG(log_, kLogWarning) << "距离上一组运动时间间隔:" << pause
                                << "ms,为了避免运动切换过快机械臂异响,强制增加100ms时长再开启运动.";
    clock_.sleep(kStartDelayUs);
  }
  const auto robot = getRobotInterface();
  if (!robot) return;
  sendSpeedCommand(*robot);
}

void RockerService::sendSpeedCommand(common_interface::RobotInterface& robot) {
  const std::vector<double> base_t_flange = robot.getRobotState()->getToolPose();
  const std::vector<double> end_t_rocker = {0, 0, 0, 0, 0, rotation_angle_};
  const auto math = api_->getMath();
  std::vector<double> base_t_rocker = math->poseTrans(base_t_flange, end_t_rocker);
  if (!isPose(base_t_rocker)) return;
  // Only the joystick frame's orientation matters: the stick gives a
  // direction, not a place.
  std::fill(base_t_rocker.begin(), base_t_rocker.begin() + 3, 0.0);
  const std::vector<double> rocker = stickVector();
  const std::vector<double> output = math->poseTrans(base_t_rocker, rocker);
  if (!isPose(output)) return;
  std::vector<double> speed(kPoseSize);
  for (std::size_t i = 0; i < kPoseSize; ++i) speed[i] = output[i] * pose_speed_;
  logStartFrames(base_t_flange, end_t_rocker, base_t_rocker, rocker, speed);
  const std::vector<double> command = {speed[0], speed[1], speed[2], 0, 0, 0};
  robot.getMotionControl()->speedLine(command, acc_, kSpeedCommandTime);
}

std::vector<double> RockerService::stickVector() {
  const AxisAssignment first(axis_x_), second(axis_y_), third(axis_z_);
  VELK_LOG(log_, kLogDebug) << "axis1:" << first.axisName() << "axis2:" << second.axisName()
                            << "axis3:" << third.axisName();
  VELK_LOG(log_, kLogDebug) << "axis1_symbol:" << first.sign() << "axis2_symbol:" << second.sign()
                            << "axis3_symbol:" << third.sign();
  const auto component = [this](const AxisAssignment& axis) {
    return static_cast<double>(current_values_[axis.axisName()]) * axis.sign() / kAxisScale;
  };
  // A small third deflection is taken as unintended: operators push the
  // stick sideways and press down a little without meaning to.
  const bool third_in_dead_band =
      magnitudeOf(current_values_[third.axisName()]) < kThirdAxisDeadBand;
  return {
      component(first), component(second), third_in_dead_band ? 0.0 : component(third), 0, 0, 0};
}

bool RockerService::isPose(const std::vector<double>& pose) {
  if (pose.size() == kPoseSize) return true;
  VELK_LOG(log_, kLogError) << "Rocker start skipped: the host returned a pose of " << pose.size()
                            << " values";
  return false;
}

void RockerService::logStartFrames(const std::vector<double>& base_t_flange,
                                   const std::vector<double>& end_t_rocker,
                                   const std::vector<double>& base_t_rocker,
                                   const std::vector<double>& rocker,
                                   const std::vector<double>& speed) {
  VELK_LOG(log_, kLogDebug) << "------------Base_T_Rocker---------------";
  VELK_LOG(log_, kLogDebug) << " Base_T_Flange:" << joined(base_t_flange);
  VELK_LOG(log_, kLogDebug) << " End_T_Rocker:" << joined(end_t_rocker);
  VELK_LOG(log_, kLogDebug) << " Base_T_Rocker:" << joined(base_t_rocker);
  VELK_LOG(log_, kLogDebug) << " Rocker:" << joined(rocker);
  VELK_LOG(log_, kLogDebug) << " Output_speed:" << joined(speed);
  VELK_LOG(log_, kLogDebug) << "-------------------------------";
}

void RockerService::stopJog() {
  VELK_LOG(log_, kLogInfo) << "Rocker stop";
  moving_ = false;
  stop_time_ = clock_.now();
  const auto robot = getRobotInterface();
  if (!robot) return;
  robot->getMotionControl()->stopLine(kStopDeceleration, kStopDeceleration);
}

void RockerService::endActiveJog() {
  armed_ = false;
  if (!moving_) return;
  reversal_count_ = 0;
  // Consumes the request's falling edge here, so the next decision does not
  // read it as a change and start.
  motion_request_.update(false);
  stopJog();
}

}  // namespace velk::zorv_comm
