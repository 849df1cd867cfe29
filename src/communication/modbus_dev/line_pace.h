#pragma once

#include <atomic>
#include <chrono>

#include "common/log_callback.h"
#include "communication/modbus_dev/modbus_link.h"

namespace velk::zorv_control {

// The line's pace as measured: the smoothed time of one answered request,
// the rate at which the fastest group is actually read, and the verdict on
// whether the line carries the rates asked (one Warning when it does not,
// one Info when it does again).
//
// Threads: the two figures are readable from any thread; everything else
// is the poll thread's (the device calls it under its group lock).
class LinePace {
 public:
  LinePace(const LogCallback& log, const ModbusLink& link) : log_(log), link_(link) {}

  double transactionSeconds() const { return transaction_seconds_.load(); }
  double fastestGroupRate() const { return fastest_rate_.load(); }

  // An answered request that took `seconds`.
  void noteTransaction(double seconds);
  // A read of the fastest group, of `frequency` hertz, at `now`. While the
  // slave is silent the line is not judged: its own Warning says why.
  void noteFastestRead(int frequency, std::chrono::steady_clock::time_point now, bool slave_silent);
  // A new connection may be to another slave: the rate is measured afresh.
  void forget() { rate_frequency_ = 0; }

 private:
  void checkLineCarriesRates(int frequency, double rate);

  const LogCallback& log_;
  const ModbusLink& link_;
  std::atomic<double> transaction_seconds_{0.0};
  std::atomic<double> fastest_rate_{0.0};
  int rate_frequency_ = 0;
  int rate_samples_ = 0;
  double fastest_interval_ = 0.0;
  std::chrono::steady_clock::time_point last_fastest_read_{};
  bool overloaded_ = false;
};

}  // namespace velk::zorv_control
