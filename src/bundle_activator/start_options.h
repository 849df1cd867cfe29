#pragma once

#include <cmath>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <toml/value.hpp>
#include <utility>
#include <variant>
#include <vector>

#include "rocker/rocker_service/rocker_settings.h"

namespace velk::zorv_comm {

// The extension's start options, read from the TOML text the host passes to
// start(): the rocker service's settings, and the cycle and device_info the
// extension keeps for itself. A key counts only with exactly its TOML type;
// anything else gives the default without a message. An integer is checked
// whole, before it is narrowed to int.
struct StartOptions : RockerSettings {
  // One start option: its key, the one TOML type it is taken with, the
  // member it sets (whose initialiser is its default), its unit, what it
  // sets, and the values it may take.
  struct Key {
    const char* name;
    toml::value_t type;
    std::variant<double StartOptions::*, int StartOptions::*, std::string StartOptions::*,
                 bool StartOptions::*>
        member;
    // Empty for a count, a code or a text.
    const char* unit;
    const char* meaning;
    // The values a number may take: finite, from low (excluded when
    // low_excluded) up to high.
    double low = -HUGE_VAL;
    double high = HUGE_VAL;
    bool low_excluded = false;
    // When not empty, the only values allowed.
    std::vector<double> choices = {};

    bool allows(double value) const;
  };
  // Every start option, in the order the extension reads them: the one
  // place an option is declared.
  static const std::vector<Key>& keys();
  // Nothing for a key the extension does not read.
  static const Key* find(const std::string& name);

  static constexpr double kDefaultCycle = 0.01;

  double cycle = kDefaultCycle;
  std::string device_info = "/dev/ttyUSB0,115200,N,8,1";

  // Top-level keys of the text the extension does not read, until screened.
  std::vector<std::string> unknown_keys;
  // Integers given that an int cannot hold, until screened; their members
  // keep the default.
  std::vector<std::pair<const Key*, std::int64_t>> integers_beyond_int;

  // Parses text with the source name "config"; a syntax error raises
  // toml::syntax_error, whose message names that source. Text that is not
  // UTF-8 or nests deeper than TomlTextScreen allows is a syntax error too.
  static StartOptions parse(const std::string& text);

  // Replaces every number outside its key's range with the key's default
  // and returns one warning per replacement and per unknown key, naming
  // the key, the value given and the value used. tool_x, tool_y and tool_z
  // are one mapping, refused whole: each must name a stick axis (±1, ±2,
  // ±3), and no two the same one.
  std::vector<std::string> screen();

  // Whether tool_x, tool_y and tool_z name three different stick axes.
  bool axisMappingIsUsable() const;

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

 private:
  template <class T>
  void read(const toml::value& config, const Key& key, T StartOptions::*member);
  void read(const toml::value& config, const Key& key, int StartOptions::*member);
  static bool isAxisMappingKey(const Key& key);
  std::optional<std::int64_t> beyondInt(const Key& key) const;
  // The value given for key: the whole integer when an int could not hold
  // it, the member's value otherwise.
  template <class T>
  void writeGiven(std::ostream& text, const Key& key, T member_value) const;
  void screenAxisMapping(std::vector<std::string>& warnings);
};

}  // namespace velk::zorv_comm
