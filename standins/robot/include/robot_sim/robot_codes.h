#pragma once

namespace velk::sim {

// Values the simulated robot reports and the results its commands return.
// Only the enumeration values the bundle looks at carry a meaning here; any
// other int may be set and is reported back unchanged.

// RobotState::getRobotModeType: the robot is powered, brakes released and the
// tool output usable. Motion commands are accepted only in this mode.
inline constexpr int kRobotModeRunning = 8;
// RobotState::getSafetyModeType: normal operation. Any other value is a
// safety stop: motion commands are refused.
inline constexpr int kSafetyModeNormal = 1;

// RuntimeMachine::getStatus: no program loaded.
inline constexpr int kRuntimeStopped = 0;
// RuntimeMachine::getStatus: a program is paused.
inline constexpr int kRuntimePaused = 3;
// RuntimeMachine::getStatus: the runner is idle; jogging is allowed.
inline constexpr int kRuntimeIdle = 6;

// Results of the commands (speedLine, stopLine, setToolVoltageOutputDomain,
// deleteTask).
inline constexpr int kResultOk = 0;
// An argument is malformed: wrong vector size, not finite, not positive, or a
// tool voltage other than 0, 12 or 24. Nothing changes.
inline constexpr int kResultInvalidArgument = -1;
// The robot cannot move now: mode type not running, safety mode not normal,
// or freedrive enabled. Nothing changes.
inline constexpr int kResultNotReady = -2;

}  // namespace velk::sim
