#include "communication/modbus_dev/silence_watch.h"

#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_dev/modbus_result.h"
#include "communication/modbus_dev/slave_label.h"

namespace velk::zorv_control {

namespace {

constexpr int kSilentAfterTimeouts = 2;

}  // namespace

SilenceWatch::Reply SilenceWatch::noteReply(int result, std::chrono::steady_clock::duration took) {
  // Exception 06 (busy) is an answer; only a time-out leaves the reply in
  // doubt. One that came before the response time-out was a reply that
  // began and stopped (the link's byte time-out): a damaged reply, not a
  // silent slave.
  const bool timed_out = result == kModbusBusyOrTimeout && link_.lastReplyInDoubt();
  const bool cut_off =
      timed_out && took < std::chrono::milliseconds(link_.settings().response_timeout_ms);
  if (timed_out && !cut_off) {
    noteTimeout();
    return Reply::TimedOut;
  }
  if (result == kModbusNotConnected || result == kModbusNoContext) return Reply::NotSent;
  noteAnswer();
  return cut_off ? Reply::CutOff : Reply::Answered;
}

void SilenceWatch::noteTimeout() {
  // One lost reply on a noisy line or a slave that is silent: either way
  // the rest of the pass would only wait for more time-outs. A second
  // time-out without an answer between says it is the slave; a noisy
  // line's single losses say nothing.
  pass_timed_out_ = true;
  ++timeouts_in_a_row_;
  if (!silent_ && timeouts_in_a_row_ >= kSilentAfterTimeouts) {
    silent_ = true;
    VELK_LOG(log_, kLogWarning) << "Modbus slave " << slaveLabel(link_.settings())
                                << " does not answer (no reply within "
                                << link_.settings().response_timeout_ms
                                << " ms): check its slave number, baud rate and wiring";
  }
}

void SilenceWatch::noteAnswer() {
  timeouts_in_a_row_ = 0;
  if (silent_) {
    silent_ = false;
    VELK_LOG(log_, kLogInfo) << "Modbus slave " << slaveLabel(link_.settings()) << " answers again";
  }
}

}  // namespace velk::zorv_control
