#include "rocker/rocker_service/stick_input.h"

#include <gtest/gtest.h>

#include "common/log_level.h"
#include "rocker/rocker_service/rocker_signal_table.h"
#include "rocker/rocker_service/stick_rate_check.h"
#include "rocker_service/fake_rocker_clock.h"
#include "rocker_service/snapshot_joystick.h"
#include "support/log_capture.h"

namespace velk::zorv_comm {
namespace {

using Table = RockerSignalTable;

// The input fed one snapshot per cycle, on a clock that moves only when
// the test says so.
struct InputDriver {
  const StickReading& take(bool jog_active = false) {
    joystick.fill(snapshot);
    return input.take(snapshot, jog_active);
  }
  int logged(int level, const std::string& message) const { return log.count(level, message); }

  test::LogCapture log;
  test::FakeRockerClock clock;
  test::SnapshotJoystick joystick{[this] { return clock.monotonic(); }};
  StickInput input{log.callback(), clock.clock().monotonic};
  zorv_control::SignalSnapshot snapshot;
};

TEST(StickInputTest, ValuesAreFreshUpToInputTimeoutAndAJogEndsOnOldOrLostOnes) {
  InputDriver d;
  EXPECT_TRUE(d.take().fresh);
  EXPECT_FALSE(d.take().stop) << "nothing to end without a jog";
  EXPECT_FALSE(d.input.reading().new_read) << "the same read again";
  d.clock.advanceMs(10);
  EXPECT_TRUE(d.take().new_read) << "the same values, read anew: known by the read time";
  d.joystick.setSilent(true);
  d.clock.advanceMs(300);
  EXPECT_TRUE(d.take(true).fresh) << "300 ms old is not older than input_timeout";
  d.clock.advanceMs(1);
  EXPECT_FALSE(d.take().fresh);
  EXPECT_TRUE(d.input.reading().taken) << "read without error: taken, just not to start on";
  d.take();
  EXPECT_EQ(d.logged(kLogWarning,
                     "Rocker joystick values are 301 ms old, input_timeout is 0.3 s: no jog "
                     "starts on them"),
            1)
      << "said once";
  EXPECT_EQ(d.take(true).stop, JogStopCause::kStaleInput);
  EXPECT_EQ(
      d.logged(kLogWarning, "Rocker stop: the stick values are 301 ms old, input_timeout is 0.3 s"),
      1);
  d.input.setInputTimeout(0);
  EXPECT_TRUE(d.take(true).fresh) << "the age check switched off";

  d.joystick.setSilent(false);
  d.input.setInputTimeout(0.3);
  d.joystick.forget(Table::kRz);
  EXPECT_EQ(d.take(true).stop, JogStopCause::kStaleInput) << "error 0, yet never read";
  EXPECT_EQ(d.log.countContaining("Rocker stop: the stick values are not all read yet"), 1);

  EXPECT_EQ(d.input.take({}, true).stop, JogStopCause::kNoData);
  EXPECT_FALSE(d.input.reading().taken);
}

TEST(StickInputTest, ReadErrorsSwitchOffOnlyInARow) {
  InputDriver d;
  d.joystick.setStickX(300);
  d.take();
  d.joystick.setError(Table::kPowerButton, 4);
  EXPECT_FALSE(d.take(true).stop) << "the stick is still read";
  EXPECT_EQ(d.input.previous().at(Table::kX), 300) << "the last change is not seen twice";
  EXPECT_TRUE(d.take().taken) << "while an error lasts the values are taken as reported";
  EXPECT_FALSE(d.input.reading().fresh);
  for (int i = 3; i <= 100; ++i, d.clock.advanceMs(10)) EXPECT_FALSE(d.take().switch_off_due);
  d.joystick.setError(Table::kPowerButton, 0);
  d.take();
  d.joystick.setError(Table::kPowerButton, 4);
  for (int i = 1; i <= 100; ++i, d.clock.advanceMs(10)) EXPECT_FALSE(d.take().switch_off_due);
  EXPECT_TRUE(d.take().switch_off_due) << "1 s in a row";
  EXPECT_FALSE(d.take().switch_off_due) << "and the count starts again";

  // Without the age check the first failed read ends a jog.
  d.joystick.setError(Table::kPowerButton, 0);
  d.take();
  d.input.setInputTimeout(0);
  d.joystick.setError(Table::kPowerButton, 4);
  EXPECT_EQ(d.take(true).stop, JogStopCause::kStaleInput);
  d.joystick.setAllErrors(0);
  d.joystick.forget(Table::kFirmwareVersion);
  EXPECT_FALSE(d.take().firmware_read_clean) << "never read is not read cleanly";
}

TEST(StickInputTest, AStartNeedsTheStickSeenCentredAfterAnEventThatCouldHideAPush) {
  InputDriver d;
  d.clock.advanceMs(10);
  d.take();
  EXPECT_TRUE(d.input.frame().centre_seen);
  d.input.requireCentre();
  d.take();
  EXPECT_FALSE(d.input.frame().centre_seen) << "read at the moment it was required";
  d.clock.advanceMs(10);
  d.joystick.setStickX(9);
  d.take();
  EXPECT_TRUE(d.input.frame().centre_seen);

  // A read error shorter than input_timeout hides nothing; a longer one
  // across which the stick moved does.
  const auto glitch = [&d](int ms, int x) {
    d.joystick.setError(Table::kPowerButton, 4);
    d.take();
    d.clock.advanceMs(ms);
    d.joystick.setStickX(x);
    d.joystick.setError(Table::kPowerButton, 0);
    d.take();
    return d.input.frame().centre_seen;
  };
  EXPECT_TRUE(glitch(300, 400));
  d.joystick.setStickX(0);
  d.take();
  EXPECT_TRUE(glitch(301, 20)) << "moved within the steadiness limit";
  EXPECT_FALSE(glitch(301, 400));

  // An implausible value ends a jog, says so once, and needs the centre.
  d.joystick.setStickX(0);
  d.clock.advanceMs(10);
  d.take();
  ASSERT_TRUE(d.input.frame().centre_seen);
  d.joystick.setStickX(-32768);
  EXPECT_EQ(d.take(true).stop, JogStopCause::kImplausibleStick);
  d.take();
  EXPECT_EQ(d.logged(kLogWarning,
                     "Rocker implausible stick value: get_x is -32768, beyond stick_limit 2000: no "
                     "jog until the stick is seen centred"),
            1);
}

// input_timeout against the stick rate the line achieves, looked at once a
// second: a healthy line at the defaults is quiet, a slow one is told once
// and its recovery once, and nothing is judged without a rate or a timeout.
TEST(StickRateCheckTest, ATimeoutShorterThanThreeReadsIsToldOncePerChange) {
  test::LogCapture log;
  test::FakeRockerClock clock;
  double rate = 0.0;
  double input_timeout = 0.0;
  int asked = 0;
  StickRateCheck check(log.callback(), clock.clock().monotonic);
  check.useRateSource([&] {
    ++asked;
    return rate;
  });
  auto seconds = [&](int n, double at_rate) {
    rate = at_rate;
    for (int i = 0; i < n * 100; ++i) {
      check.update(input_timeout);
      clock.advanceMs(10);
    }
  };
  seconds(2, 10.0);
  EXPECT_EQ(asked, 0) << "input_timeout 0 switches the age check off, and this with it";
  input_timeout = 0.3;
  seconds(2, 0.0);
  seconds(2, 9.5);  // the jitter of a healthy line at the defaults
  EXPECT_EQ(asked, 4) << "once a second";
  input_timeout = 0.08;
  seconds(3, 25.0);
  const std::string slow =
      "Rocker input_timeout 0.08 s is shorter than three reads of the stick at the rate the line "
      "achieves (25.0 Hz): jogs stop for old values while the stick is held; give input_timeout "
      "at least 0.12 s, lower stick_rate, or lower the serial adapter's latency timer "
      "(input_timeout stays 0.08 s)";
  EXPECT_EQ(log.count(kLogWarning, slow), 1);
  seconds(2, 35.0);  // 2.8 reads: between the two figures, no verdict either way
  seconds(2, 40.0);
  EXPECT_EQ(log.count(kLogInfo,
                      "Rocker input_timeout 0.08 s covers three reads of the stick "
                      "again (40.0 Hz)"),
            1);
  check.forget();
  seconds(1, 25.0);
  EXPECT_EQ(log.count(kLogWarning, slow), 2) << "a new registration is judged afresh";
  EXPECT_EQ(log.total(), 3u);
}

}  // namespace
}  // namespace velk::zorv_comm
