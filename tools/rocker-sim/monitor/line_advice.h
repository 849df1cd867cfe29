#pragma once

#include <string>

namespace velk::rocker_sim {

// What the monitor's line figures mean for the bundle's settings: how busy
// the line is at the registry's rates, the stick rate it could carry, and
// the stick_rate and input_timeout to start with on this line.
//
// The monitor reads every group at the registry's 10 Hz; a stick_rate r
// adds (r - 10) reads of the axes a second, each costing one request. The
// recommendation leaves a fifth of the line free for retries, writes and
// jitter.
struct LineAdvice {
  // The share of the line the advice may fill.
  static constexpr double kHeadroom = 0.8;

  bool measured = false;     // a request has been timed and groups read
  double request_ms = 0;     // smoothed time of one answered request
  double stick_hz = 0;       // how often the stick axes are read now
  int busy_percent = 0;      // share of the line the registry's reads take
  int carried_rate = 0;      // the stick rate the whole line could carry
  bool overloaded = false;   // the 10 Hz reads do not fit on the line
  int stick_rate = 10;       // recommended stick_rate
  double input_timeout = 0;  // recommended input_timeout, seconds

  // From the device's smoothed request time, the group reads a second the
  // monitor counts, and the measured rate of the fastest group (the axes).
  static LineAdvice of(double transaction_seconds, double group_reads_per_second,
                       double stick_rate_measured);
  // "request 20.4 ms, stick read at 10.0 Hz, line 61 % busy, carries a
  // stick_rate of up to 29"; "not measured yet" before the figures exist.
  std::string lineText() const;
  // "stick_rate = 23, input_timeout = 0.18".
  std::string adviceText() const;
};

}  // namespace velk::rocker_sim
