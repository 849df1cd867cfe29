#pragma once

#include <chrono>
#include <string>

#include "host_rig/log_sink.h"
#include "host_rig/rig_timing.h"

namespace velk::test {

// The tests' name for the host's log sink, which keeps every message.
using LogCapture = host_rig::LogSink;

// Until `message` has been logged at `level` at least `times` times.
inline bool waitForLog(const LogCapture& log, int level, const std::string& message,
                       std::chrono::milliseconds timeout, int times = 1) {
  return host_rig::timing::waitFor([&] { return log.count(level, message) >= times; }, timeout);
}

}  // namespace velk::test
