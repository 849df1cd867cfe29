#include "rocker/rocker_service/indicator_light.h"

#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "host/common_interface/robot_interface.h"
#include "host/common_interface/robot_manage.h"
#include "host/common_interface/robot_state.h"
#include "host/common_interface/runtime_machine.h"
#include "host/common_interface/zorv_api.h"
#include "rocker/rocker_service/host_call_guard.h"
#include "rocker/rocker_service/indicator_code.h"
#include "rocker/rocker_service/robot_codes.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

namespace {

constexpr int kPausedOnLastStep = 100;
constexpr int kPausedLastStep = 199;

}  // namespace

std::atomic<int> IndicatorLight::paused_blink_step_{0};

void IndicatorLight::show(int state, uint16_t code) {
  state_ = state;
  registry_->modbusSetOutputSignal(RockerSignalTable::kIndicator, code);
}

bool IndicatorLight::applyRules(common_interface::RobotInterface& robot,
                                common_interface::ZorvApi& api) {
  if (HostCallGuard::require(robot.getRobotState(), "getRobotState")->getSafetyModeType() !=
      RobotCodes::kNormalSafetyMode) {
    if (state_ == kStateSafetyStop) return true;
    show(kStateSafetyStop, IndicatorCode::kSafetyStop);
    return false;
  }
  const int status =
      HostCallGuard::require(api.getRuntimeMachine(), "getRuntimeMachine")->getStatus();
  if (status == RobotCodes::kRuntimeStopped) {
    if (state_ == kStateStopped) return true;
    show(kStateStopped, IndicatorCode::kStopped);
    return false;
  }
  if (status == RobotCodes::kRuntimeJogAllowed) {
    if (HostCallGuard::require(robot.getRobotManage(), "getRobotManage")->isFreedriveEnabled()) {
      if (state_ == kStateFreedrive) return true;
      show(kStateFreedrive, IndicatorCode::kFreedrive);
      return false;
    }
    if (state_ != kStateJogReady) show(kStateJogReady, IndicatorCode::kJogReady);
    return true;
  }
  if (status == RobotCodes::kRuntimePaused) {
    state_ = kStatePaused;
    blinkPaused();
    return false;
  }
  return true;
}

void IndicatorLight::blinkPaused() {
  const int step = paused_blink_step_.load();
  const uint16_t wanted =
      step <= kPausedOnLastStep ? IndicatorCode::kStopped : IndicatorCode::kReadError;
  if (registry_->modbusGetSignalStatus(RockerSignalTable::stored(RockerSignalTable::kIndicator)) !=
      wanted) {
    registry_->modbusSetOutputSignal(RockerSignalTable::kIndicator, wanted);
  }
  paused_blink_step_.store(step + 1 > kPausedLastStep ? 0 : step + 1);
}

}  // namespace velk::zorv_comm
