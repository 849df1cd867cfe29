#pragma once

#include <chrono>
#include <thread>

namespace velk::host_rig::timing {

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

// Polls condition every `step` until it holds or timeout (itself scaled)
// has passed; true if it held. Every wait of the rig, the tests and the
// benchmarks is bounded by it.
template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds step = 2ms) {
  const auto deadline = Clock::now() + scaled(timeout);
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(step);
  }
  return true;
}

inline double millisecondsOf(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace velk::host_rig::timing
