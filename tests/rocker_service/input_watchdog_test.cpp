#include "rocker/rocker_service/input_watchdog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log_level.h"
#include "rocker/rocker_service/rocker_signal_table.h"
#include "support/log_capture.h"

namespace velk::zorv_comm {
namespace {

using Clock = InputWatchdog::Clock;
using std::chrono::milliseconds;

// A watchdog on a clock that moves only when the test says so, and a
// snapshot of 16 signals whose axes were all read at one moment.
struct WatchdogDriver {
  WatchdogDriver() : watchdog(log.callback(), [this] { return now; }) {
    for (const auto& entry : RockerSignalTable::entries()) names.emplace_back(entry.name);
    errors.assign(names.size(), 0);
    read_times.assign(names.size(), Clock::time_point());
  }
  // Every signal read at the current time.
  void readAll() { read_times.assign(names.size(), now); }
  StickSample sample() const { return StickSample(names, errors, read_times); }

  test::LogCapture log;
  Clock::time_point now = Clock::time_point() + std::chrono::hours(1);
  InputWatchdog watchdog;
  std::vector<std::string> names;
  std::vector<int> errors;
  std::vector<Clock::time_point> read_times;
};

TEST(InputWatchdogTest, ValuesAreYoungUpToInputTimeoutAndOnlyOnceAllAxesWereRead) {
  WatchdogDriver d;
  EXPECT_FALSE(d.watchdog.young(d.sample())) << "never read";
  d.readAll();
  const struct {
    long ms;
    double timeout;
    bool young;
  } rows[] = {{0, 0.3, true}, {300, 0.3, true}, {301, 0.3, false}, {5000, 0, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.ms);
    d.watchdog.setInputTimeout(row.timeout);
    d.now = d.read_times[0] + milliseconds(row.ms);
    EXPECT_EQ(d.watchdog.young(d.sample()), row.young);
  }
  d.watchdog.setInputTimeout(0.3);
  d.now = d.read_times[0] + milliseconds(400);
  d.watchdog.reportOldValues(false, d.sample());
  d.watchdog.reportOldValues(false, d.sample());
  EXPECT_EQ(d.log.count(kLogWarning,
                        "Rocker joystick values are 400 ms old, input_timeout is 0.3 s: no jog "
                        "starts on them"),
            1)
      << "said once";
  d.watchdog.reportStaleStop(d.sample());
  EXPECT_EQ(d.log.count(kLogWarning,
                        "Rocker stop: the stick values are 400 ms old, input_timeout is 0.3 s"),
            1);
}

TEST(InputWatchdogTest, ErrorCyclesCountOnlyInARow) {
  WatchdogDriver d;
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(d.watchdog.countErrorCycle(true));
  EXPECT_FALSE(d.watchdog.countErrorCycle(false));
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(d.watchdog.countErrorCycle(true));
  EXPECT_TRUE(d.watchdog.countErrorCycle(true)) << "the 101st in a row";
  EXPECT_FALSE(d.watchdog.countErrorCycle(true)) << "and the count starts again";
}

TEST(InputWatchdogTest, CentreCountsOnlyFromFreshValuesReadAfterTheRequirement) {
  WatchdogDriver d;
  d.readAll();
  d.now += milliseconds(10);
  d.watchdog.requireCentre();
  d.watchdog.observe(true, d.sample(), true);
  EXPECT_FALSE(d.watchdog.centreSeen()) << "read before the requirement";
  d.now += milliseconds(10);
  d.readAll();
  d.watchdog.observe(false, d.sample(), true);
  EXPECT_FALSE(d.watchdog.centreSeen()) << "not fresh";
  d.watchdog.observe(true, d.sample(), false);
  EXPECT_FALSE(d.watchdog.centreSeen()) << "not centred";
  d.watchdog.holdBackStart();
  d.watchdog.holdBackStart();
  EXPECT_EQ(d.log.countContaining("Rocker start held back"), 1);
  d.watchdog.observe(true, d.sample(), true);
  EXPECT_TRUE(d.watchdog.centreSeen());

  d.watchdog.readErrorBegan();
  d.now += milliseconds(300);
  EXPECT_FALSE(d.watchdog.readErrorOutlastedInputTimeout());
  d.now += milliseconds(1);
  EXPECT_TRUE(d.watchdog.readErrorOutlastedInputTimeout());
}

}  // namespace
}  // namespace velk::zorv_comm
