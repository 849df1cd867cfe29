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

// The line figures and what they advise: a fast line takes the fastest
// stick, a USB adapter's latency leaves room for less or none, and a line
// that cannot carry the 10 Hz reads gets a timeout of three actual reads.
TEST(MonitorScreen, LineFiguresAdviseStickRateAndInputTimeout) {
  using velk::rocker_sim::LineAdvice;
  struct Row {
    double request_s, group_reads, stick_hz;
    std::string line, advice;
  };
  const std::vector<Row> rows = {
      {0, 0, 0, "not measured yet", "none until the line is measured"},
      {0.003, 40, 10,
       "request 3.0 ms, stick read at 10.0 Hz, line 12 % busy, carries a stick_rate of up to 50",
       "stick_rate = 50, input_timeout = 0.08"},
      {0.020, 30, 10,
       "request 20.0 ms, stick read at 10.0 Hz, line 60 % busy, carries a stick_rate of up to 30",
       "stick_rate = 20, input_timeout = 0.20"},
      {0.020, 40, 9.9,
       "request 20.0 ms, stick read at 9.9 Hz, line 80 % busy, carries a stick_rate of up to 20",
       "stick_rate = 10, input_timeout = 0.30"},
      {0.040, 25, 6.2,
       "request 40.0 ms, stick read at 6.2 Hz, line 100 % busy, carries a stick_rate of up to 6",
       "stick_rate = 10, input_timeout = 0.49 (the line cannot carry even the 10 Hz reads: lower "
       "the adapter's latency timer or raise the baud rate)"},
  };
  for (const Row& row : rows) {
    const LineAdvice advice = LineAdvice::of(row.request_s, row.group_reads, row.stick_hz);
    EXPECT_EQ(advice.lineText(), row.line);
    EXPECT_EQ(advice.adviceText(), row.advice);
  }
  MonitorReading before = look(5, true, 100);
  MonitorReading now = before;
  now.transaction_seconds = 0.020;
  now.reads_per_second = 30;
  now.fastest_rate = 10;
  EXPECT_TRUE(hasLine(MonitorScreen::changes(before, now), "advice stick_rate = 20"));
  EXPECT_FALSE(hasLine(MonitorScreen::changes(now, now), "advice")) << "said once per change";
}
