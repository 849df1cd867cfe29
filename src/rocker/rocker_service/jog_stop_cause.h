#pragma once

namespace velk::zorv_comm {

// Why a jog ended. The first six are the operator's release as the
// decision sees it; the rest end a jog from outside the decision, and the
// next jog then waits for the stick to be seen centred.
enum class JogStopCause {
  kNone,
  kFastDrop,          // a linear axis dropped by more than 50 in one read
  kSlowRelease,       // three drops above 15
  kCentred,           // all six axes back inside +-9
  kSignReversed,      // an axis flipped from beyond +-100 to beyond it on the other side
  kNearCentre,        // x, y and z all back within +-100
  kStartAxesCentred,  // every axis the jog started on back within +-100
  kSwitchedOff,       // jogging switched off, by the button or after read errors
  kSpeedChanged,      // the speed button was pressed
  kGateClosed,        // freedrive, runtime status or safety mode
  kStaleInput,        // the stick values grew older than input_timeout
  kConnectionLost,    // the joystick's connection was declared lost
  kJoystickRemoved,   // the robot left the mode the joystick is powered in
  kNoData,            // the registry gave no usable snapshot
  kImplausibleStick,  // a stick value beyond stick_limit
  kHostFault,         // a host call threw or answered what cannot be used
  kShutdown,          // the extension stopped or the service went away
};

// "stick released", "joystick connection lost", ...: the cause in words,
// for the log line that follows every stop.
const char* jogStopCauseText(JogStopCause cause);
// Whether the cause is the operator letting go of the stick.
bool isOperatorRelease(JogStopCause cause);

}  // namespace velk::zorv_comm
