#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "common/log_callback.h"

namespace velk::zorv_comm {

// The two checks the service and its decision make on the stick values of
// a cycle, and the lookups they share. A name missing from a map reads as 0.
class StickChecks {
 public:
  using ValueMap = std::map<std::string, int16_t>;
  // x, y, z, rx, ry, rz.
  using Axes = std::array<int16_t, 6>;

  // Centred check: the first n stick axes (x, y, z, rx, ry, rz) all lie
  // strictly inside +-limit. n = 0 is never centred.
  static bool centred(const ValueMap& values, std::size_t n, int limit);
  // Steadiness check: both maps hold n keys and no stick axis differs by
  // more than limit between them. A size mismatch is logged at Debug.
  static bool steady(const ValueMap& a, const ValueMap& b, std::size_t n, int limit,
                     const LogCallback& log);
  static bool steady(const Axes& a, const Axes& b, int limit);
  static Axes axesOf(const ValueMap& values);
  static int16_t valueOf(const ValueMap& values, const char* name);
  static int magnitudeOf(const ValueMap& values, const char* name);
};

}  // namespace velk::zorv_comm
