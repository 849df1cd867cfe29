#include "rocker/rocker_service/jog_stop_cause.h"

namespace velk::zorv_comm {

const char* jogStopCauseText(JogStopCause cause) {
  switch (cause) {
    case JogStopCause::kNone:
      return "none";
    case JogStopCause::kFastDrop:
      return "stick released";
    case JogStopCause::kSlowRelease:
      return "stick eased back";
    case JogStopCause::kCentred:
      return "stick centred";
    case JogStopCause::kSignReversed:
      return "stick reversed";
    case JogStopCause::kNearCentre:
      return "stick back near the centre";
    case JogStopCause::kStartAxesCentred:
      return "the axes it started on are centred";
    case JogStopCause::kSwitchedOff:
      return "jogging switched off";
    case JogStopCause::kSpeedChanged:
      return "speed mode changed";
    case JogStopCause::kGateClosed:
      return "robot no longer ready to jog (freedrive, runtime status or safety mode)";
    case JogStopCause::kStaleInput:
      return "stick values too old (input_timeout)";
    case JogStopCause::kConnectionLost:
      return "joystick connection lost";
    case JogStopCause::kJoystickRemoved:
      return "joystick unpowered (robot left mode 8)";
    case JogStopCause::kNoData:
      return "no joystick data";
    case JogStopCause::kImplausibleStick:
      return "implausible stick value (beyond stick_limit)";
    case JogStopCause::kHostFault:
      return "host call failed";
    case JogStopCause::kShutdown:
      return "extension stopped";
  }
  return "unknown";
}

bool isOperatorRelease(JogStopCause cause) {
  switch (cause) {
    case JogStopCause::kFastDrop:
    case JogStopCause::kSlowRelease:
    case JogStopCause::kCentred:
    case JogStopCause::kSignReversed:
    case JogStopCause::kNearCentre:
    case JogStopCause::kStartAxesCentred:
      return true;
    default:
      return false;
  }
}

}  // namespace velk::zorv_comm
