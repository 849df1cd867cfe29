#pragma once

#include <chrono>
#include <thread>

namespace velk::bench {

// Polls `condition` every `step` until it holds or `timeout` has passed;
// returns whether it held. Every wait of the benchmarks is bounded by it.
template <class Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = std::chrono::milliseconds(2)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(step);
  }
  return true;
}

}  // namespace velk::bench
