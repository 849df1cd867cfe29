// What the monitor says about the device from one look at the registry: the
// device line, stale values, signals still waiting for their first read, and
// the lines a pipe gets for each change.
#include "rocker-sim/monitor/monitor_screen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rocker-sim/monitor/monitor_reading.h"

namespace {

using velk::rocker_sim::MonitorReading;
using velk::rocker_sim::MonitorScreen;
using Clock = MonitorReading::Clock;
using std::chrono::milliseconds;

// A look at `t` seconds with input_timeout 0.3 s; `age_ms` < 0: never read.
MonitorReading look(double t, bool connected, int age_ms, int error = 0,
                    const std::string& problem = "") {
  MonitorReading r;
  r.t = t;
  r.taken_at = Clock::time_point() + milliseconds(static_cast<int>(t * 1000));
  r.connected = connected;
  r.connection_problem = problem;
  r.input_timeout = 0.3;
  MonitorReading::Signal signal{7, error, {}};
  if (age_ms >= 0) {
    signal.read_at = r.taken_at - milliseconds(age_ms);
    r.answered = true;
    r.last_answer_t = t - age_ms / 1000.0;
  }
  r.signals["get_x"] = signal;
  return r;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& part) {
  for (const auto& line : lines) {
    if (line.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(MonitorScreen, DeviceLineAndSignalStateForEachState) {
  struct Row {
    MonitorReading reading;
    std::string device;
    std::string signal;
  };
  const std::vector<Row> rows = {
      {look(0.5, false, -1, 2),
       "not connected yet (the first attempt comes about 1 s after the start)", "not read yet"},
      {look(2, false, -1, 2, "Connection refused"), "not connected: Connection refused",
       "not read yet"},
      {look(2, true, -1, 2), "connected, no answer yet", "not read yet"},
      {look(5, true, 100), "answering", "ok"},
      {look(5, true, 2000, 6), "not answering since 3.00 s",
       "error 6 (busy, or no reply in time), STALE (2.00 s old)"},
      {look(5, false, 1000, 3), "not connected: connection lost, trying again",
       "error 3 (illegal data value, bad reply, or disconnected), STALE (1.00 s old)"},
      // Answered before, so an illegal address now is the device's answer.
      {look(5, true, 100, 2), "answering", "error 2 (illegal data address)"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MonitorScreen::deviceLine(row.reading), row.device);
    EXPECT_EQ(MonitorScreen::signalState(row.reading, "get_x"), row.signal);
  }
}

TEST(MonitorScreen, PipedOutputHasALineForEachChange) {
  const MonitorReading answering = look(5, true, 100);
  const MonitorReading silent = look(6, true, 1100);
  auto lines = MonitorScreen::changes(answering, silent);
  EXPECT_TRUE(hasLine(lines, "device not answering since 4.90 s"));
  EXPECT_TRUE(hasLine(lines, "stale (older than 0.30 s): get_x"));
  MonitorReading failed = look(7, false, 2100, 3);
  failed.last_error = "error 3 on 1 signal";
  lines = MonitorScreen::changes(silent, failed);
  EXPECT_TRUE(hasLine(lines, "device not connected"));
  EXPECT_TRUE(hasLine(lines, "get_x error 3"));
  EXPECT_TRUE(hasLine(lines, "last error: error 3 on 1 signal"));
  EXPECT_TRUE(hasLine(MonitorScreen::changes(failed, look(8, true, 50)), "no stale values"));
  EXPECT_TRUE(MonitorScreen::changes(answering, look(5.1, true, 100)).empty());
}

}  // namespace
