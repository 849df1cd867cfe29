#pragma once

#include <chrono>
#include <string>
#include <thread>

#include "support/log_capture.h"

namespace velk::test {

// Polls `done` every few milliseconds until it holds or `timeout` passes;
// returns its last answer. Keeps waits on the poll thread bounded.
template <class Predicate>
bool waitUntil(Predicate done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Waits until `message` has been logged at `level` at least `times` times.
inline bool waitForLog(const LogCapture& log, int level, const std::string& message,
                       std::chrono::milliseconds timeout, int times = 1) {
  return waitUntil([&] { return log.count(level, message) >= times; }, timeout);
}

}  // namespace velk::test
