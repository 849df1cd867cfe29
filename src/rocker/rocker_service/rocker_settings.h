#pragma once

#include <cstddef>

namespace velk::zorv_comm {

// What the rocker service and its parts are set up with, once, before the
// motion task runs: the start options that concern them, screened by the
// extension. Each member's initialiser is the option's default; its key,
// type, unit, range and meaning are in the extension's table of start
// options (StartOptions::keys()), which names the members.
struct RockerSettings {
  // The reduced speed manual jogging is held to, m/s, and the angular speed
  // that keeps a point 0.5 m from the turning axis within it, rad/s: the
  // ceilings of max_speed and max_angular_speed, which no setting lifts.
  static constexpr double kReducedSpeed = 0.25;
  static constexpr double kReducedAngularSpeed = 0.5;

  int tool_x = 1;
  int tool_y = 2;
  int tool_z = 3;
  double ori_velc = 0.005;
  double acc = 1.0;
  int debug = 0;
  double rotation = 0.0;
  double pose_speed_fast = 0.1;
  double pose_speed_slow = 0.01;
  double input_timeout = 0.3;
  double max_speed = kReducedSpeed;
  int stick_limit = 2000;
  int jog_axes = 3;
  double max_angular_speed = kReducedAngularSpeed;
  int stick_rate = 10;
  bool jog_follow = false;

  // The stick axes a jog follows: 6 (x, y, z, rx, ry, rz) when jog_axes
  // asks for six, 3 (x, y, z) for anything else.
  std::size_t jogAxisCount() const { return jog_axes == 6 ? 6 : 3; }
  // max_speed and max_angular_speed held to their ceilings, for settings
  // that did not pass the extension's screen: a value above the ceiling,
  // not above 0 or not finite gives the ceiling.
  double boundedMaxSpeed() const { return withinCeiling(max_speed, kReducedSpeed); }
  double boundedMaxAngularSpeed() const {
    return withinCeiling(max_angular_speed, kReducedAngularSpeed);
  }
  static double withinCeiling(double value, double ceiling) {
    return value > 0 && value <= ceiling ? value : ceiling;
  }
  // Whether rx, ry and rz turn the tool.
  bool turnsTool() const { return jogAxisCount() == 6; }
};

}  // namespace velk::zorv_comm
