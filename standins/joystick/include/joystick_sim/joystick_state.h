#pragma once

#include <array>

namespace velk::joystick_sim {

// Stick axes in register order x, y, z, rx, ry, rz, as the signed values the
// joystick reports.
using StickAxes = std::array<int, 6>;

enum class Button { kPower, kSpeed };

// The joystick's outputs as the bundle last wrote them.
struct JoystickLights {
  bool power = false;  // coil 16: jogging switched on
  bool speed = false;  // coil 17: slow speed
  int indicator = 0;   // holding register 512
  bool operator==(const JoystickLights& o) const {
    return power == o.power && speed == o.speed && indicator == o.indicator;
  }
  bool operator!=(const JoystickLights& o) const { return !(*this == o); }
};

}  // namespace velk::joystick_sim
