#pragma once

namespace velk::zorv_comm {

// The host's robot and runtime states the service reacts to.
struct RobotCodes {
  // The robot mode in which the joystick is powered and read.
  static constexpr int kJoystickPoweredMode = 8;
  static constexpr int kNormalSafetyMode = 1;
  static constexpr int kRuntimeStopped = 0;
  static constexpr int kRuntimePaused = 3;
  static constexpr int kRuntimeJogAllowed = 6;
};

}  // namespace velk::zorv_comm
