#pragma once

#include <nlohmann/json.hpp>

namespace velk::bench {

// The delay that the design allows between a change of the stick registers
// at the joystick and the robot command it causes, for a change at a random
// moment:
//
//   wait for the next read of the input-register group   U, uniform in [0, P)
// + that read's round trip                                d
// + wait for the next cycle of the periodic task          V, uniform in [0, c)
// + the whole cycles the decision needs after that        k * c
//
// P is the period of the stick's group as measured (ten poll passes at the
// default stick rate of 10 Hz, two at 50 Hz, each its I/O plus a 10 ms
// sleep), c the task period. A start needs k = 1: the first cycle that sees the push
// only arms, the next one sees two steady values and starts. A stop needs
// k = 0: the first cycle that sees the drop stops. Quantiles come from the
// exact distribution of U + V at the mean group period and the typical read
// time; the maximum takes the longest group period and read seen.
class LatencyModel {
 public:
  LatencyModel(double group_period_ms, double longest_group_period_ms, double read_ms,
               double longest_read_ms, double cycle_ms, int extra_cycles);

  double quantile(double q) const;
  double minimum() const;
  double maximum() const;
  nlohmann::json toJson() const;

 private:
  double group_period_ms_;
  double longest_group_period_ms_;
  double read_ms_;
  double longest_read_ms_;
  double cycle_ms_;
  int extra_cycles_;
};

}  // namespace velk::bench
