#pragma once

#include <chrono>
#include <thread>

namespace rocker_reliability {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Sanitizer builds run several times slower on the shared CI machine; the
// requirements themselves (a stop within half a second of a loss, say) are
// checked with this much slack there and exactly in the plain build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr int kSlowdown = 3;
inline constexpr bool kSanitized = true;
#else
inline constexpr int kSlowdown = 1;
inline constexpr bool kSanitized = false;
#endif

template <class Duration>
constexpr Duration scaled(Duration d) {
  return d * kSlowdown;
}

// Waits for condition, at most timeout (itself scaled); true if it held.
template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + scaled(timeout);
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

inline double millisecondsOf(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace rocker_reliability
