#pragma once

#include <cmath>
#include <string>
#include <toml/value.hpp>
#include <variant>
#include <vector>

#include "rocker/rocker_service/jog_command.h"
#include "rocker/rocker_service/stick_input.h"

namespace velk::zorv_comm {

// The extension's start options, read from the TOML text the host passes to
// start(). A key counts only with exactly its TOML type; anything else gives
// the default without a message. Integers keep their low 32 bits.
struct StartOptions {
  // One start option: its key, the one TOML type it is taken with, and the
  // member it sets, whose initialiser below is its default.
  struct Key {
    const char* name;
    toml::value_t type;
    std::variant<double StartOptions::*, int StartOptions::*, std::string StartOptions::*> member;
    // The values a number may take: finite, from low (excluded when
    // low_excluded) up to high.
    double low = -HUGE_VAL;
    double high = HUGE_VAL;
    bool low_excluded = false;
    // When not empty, the only values allowed.
    std::vector<double> choices = {};

    bool allows(double value) const;
  };
  // Every key the extension reads, in the order it reads them.
  static const std::vector<Key>& keys();
  // Nothing for a key the extension does not read.
  static const Key* find(const std::string& name);

  static constexpr double kDefaultCycle = 0.01;
  // The service's own defaults: the same without the options.
  static constexpr double kDefaultInputTimeout = zorv_comm::StickInput::kDefaultInputTimeout;
  static constexpr double kDefaultMaxSpeed = zorv_comm::JogCommand::kDefaultMaxSpeed;
  static constexpr int kDefaultStickLimit = zorv_comm::StickInput::kDefaultStickLimit;
  static constexpr double kDefaultOriVelc = 0.005;
  static constexpr double kDefaultMaxAngularSpeed = zorv_comm::JogCommand::kDefaultMaxAngularSpeed;

  double cycle = kDefaultCycle;
  std::string device_info = "/dev/ttyUSB0,115200,N,8,1";
  int tool_x = 1;
  int tool_y = 2;
  int tool_z = 3;
  double ori_velc = kDefaultOriVelc;
  double acc = 1.0;
  int debug = 0;
  double rotation = 0.0;
  double pose_speed_fast = 0.1;
  double pose_speed_slow = 0.01;
  // Seconds the six stick values may be old for a jog to start or go on;
  // an active jog stops once they are older. 0 switches the check off. A
  // joystick whose values are always older (a very slow slave or line)
  // cannot jog.
  double input_timeout = kDefaultInputTimeout;
  // The largest Cartesian speed a jog may command, m/s: a larger one is
  // scaled down, keeping its direction. The default is the reduced speed
  // manual jogging is held to by industrial robot safety rules.
  double max_speed = kDefaultMaxSpeed;
  // A stick value whose magnitude exceeds this is implausible (a railed or
  // broken axis): nothing starts on it and a jog ends.
  int stick_limit = kDefaultStickLimit;
  // 3: a jog translates the tool; 6: the rotation axes turn it as well.
  int jog_axes = 3;
  // The largest angular speed a six-axis jog may command, rad/s.
  double max_angular_speed = kDefaultMaxAngularSpeed;
  // How often the six stick axes are read, Hz; everything else is read at
  // 10 Hz.
  int stick_rate = 10;

  // Top-level keys of the text the extension does not read, until screened.
  std::vector<std::string> unknown_keys;

  // Parses text with the source name "config"; a syntax error raises
  // toml::syntax_error, whose message names that source. Text that is not
  // UTF-8 or nests deeper than TomlTextScreen allows is a syntax error too.
  static StartOptions parse(const std::string& text);

  // Replaces every number outside its key's range with the key's default
  // and returns one warning per replacement and per unknown key, naming
  // the key, the value given and the value used.
  std::vector<std::string> screen();

  // Whether cycle gives a period of at least one microsecond that fits in 32
  // bits. Zero would make the task thread spin; negative, huge and non-finite
  // values have no meaning as a period.
  bool cycleIsUsable() const;

  // Whether input_timeout is 0 (no check) or a finite positive time.
  bool inputTimeoutIsUsable() const;

  // The period of the rocker cycle: cycle seconds in whole microseconds,
  // truncated (0.00397 s gives 3969, not 3970); the default period when the
  // cycle is not usable.
  unsigned int periodMicroseconds() const;
};

}  // namespace velk::zorv_comm
