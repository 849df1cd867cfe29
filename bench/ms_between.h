#pragma once

#include <chrono>

namespace velk::bench {

// Milliseconds from `a` to `b`, negative where `b` came first.
inline double msBetween(std::chrono::steady_clock::time_point a,
                        std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

}  // namespace velk::bench
