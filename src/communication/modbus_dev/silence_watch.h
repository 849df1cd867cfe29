#pragma once

#include <chrono>

#include "common/log_callback.h"
#include "communication/modbus_dev/modbus_link.h"

namespace velk::zorv_control {

// Whether the slave answers: a request that timed out ends the talk of the
// pass it came in (the rest would only wait for more time-outs), and from
// the second time-out in a row the slave counts as silent, said once by a
// Warning, and once by an Info when it answers again.
//
// Threads: the poll thread's only.
class SilenceWatch {
 public:
  // What became of a request.
  enum class Reply {
    Answered,  // an exception is an answer too
    CutOff,    // began and stopped short: damaged, but the slave is there
    TimedOut,  // nothing within the whole response time-out
    NotSent,   // no connection to send it on
  };

  SilenceWatch(const LogCallback& log, const ModbusLink& link) : log_(log), link_(link) {}

  // Notes the result of a request that took `took`.
  Reply noteReply(int result, std::chrono::steady_clock::duration took);
  // The round of passes is over (or left early): the next may talk again.
  void endPass() { pass_timed_out_ = false; }
  bool passTimedOut() const { return pass_timed_out_; }
  bool silent() const { return silent_; }

 private:
  void noteTimeout();
  void noteAnswer();

  const LogCallback& log_;
  const ModbusLink& link_;
  bool pass_timed_out_ = false;
  bool silent_ = false;
  int timeouts_in_a_row_ = 0;
};

}  // namespace velk::zorv_control
