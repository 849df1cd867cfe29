#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace velk::zorv_control {

// The registry's signals at one instant, in ascending byte-wise name order:
// element i of every vector belongs to the same signal. A caller keeps one
// and has the registry refill it every cycle; once the vectors and the name
// strings have grown to the table's size, a refill allocates nothing.
struct SignalSnapshot {
  std::vector<std::string> names;
  // The unsigned 16-bit values, widened without sign.
  std::vector<int> values;
  std::vector<int> errors;
  // When each value was last read from its slave; the clock's epoch for a
  // signal never read.
  std::vector<std::chrono::steady_clock::time_point> read_times;
};

}  // namespace velk::zorv_control
