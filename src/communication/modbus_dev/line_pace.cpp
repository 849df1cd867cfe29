#include "communication/modbus_dev/line_pace.h"

#include "common/fixed_decimals.h"
#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_dev/slave_label.h"

namespace velk::zorv_control {

namespace {

// Weight of the newest sample in the smoothed request time and read interval.
constexpr double kSmoothing = 0.2;
// Reads of the fastest group measured before the line is judged; below the
// slow share of the rate asked the line is too slow, from the recovered
// share on it carries the rates again (apart, so that the verdict does not
// flap around one value).
constexpr int kRateSamples = 5;
constexpr double kSlowShare = 0.8;
constexpr double kRecoveredShare = 0.95;

}  // namespace

void LinePace::noteTransaction(double seconds) {
  const double smoothed = transaction_seconds_.load();
  transaction_seconds_ = smoothed == 0.0 ? seconds : smoothed + kSmoothing * (seconds - smoothed);
}

void LinePace::noteFastestRead(int frequency, std::chrono::steady_clock::time_point now,
                               bool slave_silent) {
  if (frequency != rate_frequency_) {
    rate_frequency_ = frequency;
    rate_samples_ = 0;
    last_fastest_read_ = now;
    return;
  }
  const double interval = std::chrono::duration<double>(now - last_fastest_read_).count();
  last_fastest_read_ = now;
  if (interval <= 0.0) return;
  fastest_interval_ = rate_samples_ == 0
                          ? interval
                          : fastest_interval_ + kSmoothing * (interval - fastest_interval_);
  ++rate_samples_;
  fastest_rate_ = 1.0 / fastest_interval_;
  // A silent slave slows every read; its own Warning says why.
  if (rate_samples_ >= kRateSamples && !slave_silent)
    checkLineCarriesRates(frequency, 1.0 / fastest_interval_);
}

void LinePace::checkLineCarriesRates(int frequency, double rate) {
  if (!overloaded_ && rate < kSlowShare * frequency) {
    overloaded_ = true;
    const double request_ms = transaction_seconds_.load() * 1000.0;
    VELK_LOG(log_, kLogWarning)
        << "Modbus slave " << slaveLabel(link_.settings())
        << " cannot be read as often as asked: a request takes " << fixedDecimals(request_ms, 1)
        << " ms and the fastest group (" << frequency << " Hz) is read at "
        << fixedDecimals(rate, 1)
        << " Hz; lower the serial adapter's latency timer, lower stick_rate, or give "
           "input_timeout at least three reads ("
        << static_cast<int>(3000.0 / rate + 0.5) << " ms)";
  } else if (overloaded_ && rate >= kRecoveredShare * frequency) {
    overloaded_ = false;
    VELK_LOG(log_, kLogInfo) << "Modbus slave " << slaveLabel(link_.settings())
                             << " is read as often as asked again (fastest group " << frequency
                             << " Hz)";
  }
}

}  // namespace velk::zorv_control
