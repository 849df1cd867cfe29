#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/log_callback.h"

namespace velk::zorv_comm {

// The two checks the service and its decision make on the stick values of
// a cycle. A name missing from a map reads as 0.
class StickChecks {
 public:
  using ValueMap = std::map<std::string, int16_t>;

  // Centred check: the first n stick axes (x, y, z, rx, ry, rz) all lie
  // strictly inside +-limit. n = 0 is never centred.
  static bool centred(const ValueMap& values, std::size_t n, int limit);
  // Steadiness check: both maps hold n keys and no stick axis differs by
  // more than limit between them. A size mismatch is logged at Debug.
  static bool steady(const ValueMap& a, const ValueMap& b, std::size_t n, int limit,
                     const LogCallback& log);
  // Whether any stick axis of a registry snapshot (names and raw values)
  // differs by more than limit from the values taken before.
  static bool movedBeyond(const ValueMap& taken, const std::vector<std::string>& names,
                          const std::vector<int>& values, int limit);
  // A register value as the registry reports it (widened without sign), as
  // the signed 16-bit value the joystick sent.
  static int16_t fromRegister(int value) {
    return static_cast<int16_t>(static_cast<uint16_t>(value));
  }
  static int16_t valueOf(const ValueMap& values, const char* name);
  static int magnitudeOf(const ValueMap& values, const char* name);
};

}  // namespace velk::zorv_comm
