#pragma once

#include <string>

namespace velk::rocker_sim {

enum class JoystickChoice { kTcp, kRtu, kNone };
// The --joystick word of each choice, as the reports name it too.
inline constexpr const char* kJoystickNames[] = {"tcp", "rtu", "none"};
inline const char* joystickName(JoystickChoice choice) {
  return kJoystickNames[static_cast<int>(choice)];
}

// What the command line asked for.
struct SimSettings {
  bool help = false;
  std::string help_text;
  std::string bundle;
  std::string scenario;  // empty with --interactive
  std::string options;
  std::string report;
  std::string svg;
  std::string device_info;
  std::string home;  // empty: a temporary one
  JoystickChoice joystick = JoystickChoice::kTcp;
  bool interactive = false;
  bool monitor = false;  // --monitor: show what the outside joystick sends
  double duration = 0;   // --duration: seconds the monitor runs, 0 until q
  int log_level = 4;     // print the bundle's messages up to Debug
};

}  // namespace velk::rocker_sim
