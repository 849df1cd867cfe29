#include "communication/modbus_dev/silence_watch.h"

#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_dev/slave_label.h"

namespace velk::zorv_control {

namespace {

constexpr int kSilentAfterTimeouts = 2;

}  // namespace

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
