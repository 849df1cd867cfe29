#include "rocker-sim/monitor/line_advice.h"

#include <algorithm>
#include <cmath>

#include "bundle_activator/start_options.h"
#include "common/fixed_decimals.h"
#include "rocker/rocker_service/joystick_registration.h"
#include "rocker/rocker_service/rocker_settings.h"

namespace velk::rocker_sim {

namespace {

// The rate every group is read at, the fastest stick_rate allowed, and the
// default input_timeout, which three reads fill at the registry's rate; a
// faster stick gets four reads, as the README advises, so that a single
// late read does not stop a jog.
constexpr int kRegistryRate = zorv_comm::JoystickRegistration::kRegistryRate;
int maxStickRate() { return static_cast<int>(zorv_comm::StartOptions::find("stick_rate")->high); }
double defaultTimeout() { return zorv_comm::RockerSettings().input_timeout; }
double longestTimeout() { return zorv_comm::StartOptions::find("input_timeout")->high; }
constexpr double kReadsPerTimeout = 4.0;
constexpr double kSlowLineReads = 3.0;
constexpr int kRateStep = 5;

double upToHundredths(double seconds) { return std::ceil(seconds * 100.0 - 1e-9) / 100.0; }

}  // namespace

LineAdvice LineAdvice::of(double transaction_seconds, double group_reads_per_second,
                          double stick_rate_measured) {
  LineAdvice advice;
  if (transaction_seconds <= 0 || group_reads_per_second <= 0 || stick_rate_measured <= 0) {
    return advice;
  }
  advice.measured = true;
  advice.request_ms = transaction_seconds * 1000.0;
  advice.stick_hz = stick_rate_measured;
  const double busy = group_reads_per_second * transaction_seconds;
  advice.busy_percent = static_cast<int>(std::lround(busy * 100.0));
  advice.overloaded = stick_rate_measured < kHeadroom * kRegistryRate;
  if (advice.overloaded) {
    // Not even the registry's rates fit: the stick is read as often as the
    // line allows, and the timeout must cover three of those reads.
    advice.carried_rate = static_cast<int>(stick_rate_measured);
    advice.input_timeout = std::clamp(upToHundredths(kSlowLineReads / stick_rate_measured),
                                      defaultTimeout(), longestTimeout());
    return advice;
  }
  const double spare = std::max(0.0, 1.0 - busy);
  advice.carried_rate =
      std::min(maxStickRate(), static_cast<int>(kRegistryRate + spare / transaction_seconds));
  const double usable = kRegistryRate + (kHeadroom - busy) / transaction_seconds;
  // In steps of 5 Hz: a figure that wobbles with the measurement would give
  // another advice on every look.
  const int stepped = static_cast<int>(usable) / kRateStep * kRateStep;
  advice.stick_rate = std::clamp(stepped, kRegistryRate, maxStickRate());
  advice.input_timeout = advice.stick_rate == kRegistryRate
                             ? defaultTimeout()
                             : upToHundredths(kReadsPerTimeout / advice.stick_rate);
  return advice;
}

std::string LineAdvice::lineText() const {
  if (!measured) return "not measured yet";
  return "request " + fixedDecimals(request_ms, 1) + " ms, stick read at " +
         fixedDecimals(stick_hz, 1) + " Hz, line " + std::to_string(busy_percent) +
         " % busy, carries a stick_rate of up to " + std::to_string(carried_rate);
}

std::string LineAdvice::adviceText() const {
  if (!measured) return "none until the line is measured";
  std::string text = "stick_rate = " + std::to_string(stick_rate) +
                     ", input_timeout = " + fixedDecimals(input_timeout, 2);
  if (overloaded) {
    text +=
        " (the line cannot carry even the 10 Hz reads: lower the adapter's latency timer "
        "or raise the baud rate)";
  }
  return text;
}

}  // namespace velk::rocker_sim
