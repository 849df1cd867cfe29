#include "rocker/rocker_service/stick_rate_check.h"

#include "common/fixed_decimals.h"
#include "common/log.h"
#include "common/log_level.h"

namespace velk::zorv_comm {

namespace {

constexpr double kAdvisedReads = 3.0;

}  // namespace

void StickRateCheck::update(double input_timeout) {
  if (!rate_ || input_timeout <= 0.0) return;
  const Clock::time_point now = now_();
  if (now < next_check_) return;
  next_check_ = now + kCheckInterval;
  const double rate = rate_();
  if (rate > 0.0) judge(rate, input_timeout);
}

void StickRateCheck::forget() {
  too_short_ = false;
  next_check_ = {};
}

void StickRateCheck::judge(double rate, double input_timeout) {
  const double reads = input_timeout * rate;
  if (!too_short_ && reads < kWarnBelowReads) {
    too_short_ = true;
    VELK_LOG(log_, kLogWarning)
        << "Rocker input_timeout " << input_timeout
        << " s is shorter than three reads of the stick at the rate the line achieves ("
        << fixedDecimals(rate, 1) << " Hz): jogs stop for old values while the stick is held; "
        << "give input_timeout at least " << fixedDecimals(kAdvisedReads / rate, 2)
        << " s, lower stick_rate, or lower the serial adapter's latency timer (input_timeout "
           "stays "
        << input_timeout << " s)";
  } else if (too_short_ && reads >= kFineFromReads) {
    too_short_ = false;
    VELK_LOG(log_, kLogInfo) << "Rocker input_timeout " << input_timeout
                             << " s covers three reads of the stick again ("
                             << fixedDecimals(rate, 1) << " Hz)";
  }
}

}  // namespace velk::zorv_comm
