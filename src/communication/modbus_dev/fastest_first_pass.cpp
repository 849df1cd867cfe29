#include "communication/modbus_dev/fastest_first_pass.h"

namespace velk::zorv_control {

FastestFirstPass::FastestFirstPass(int fastest, const Clock& clock)
    : clock_(clock), fastest_(fastest), begun_(clock()) {}

bool FastestFirstPass::defersSlower(int frequency, double fastest_countdown,
                                    double transaction_seconds) const {
  if (frequency == fastest_) return false;
  const double spent = std::chrono::duration<double>(clock_() - begun_).count();
  const bool axes_due_meanwhile = !fastest_read_ && fastest_countdown - spent < transaction_seconds;
  return axes_due_meanwhile || (slower_read_ && spent >= 1.0 / fastest_);
}

bool FastestFirstPass::noteRead(int frequency, bool read) {
  if (!read) return false;
  if (frequency != fastest_) {
    slower_read_ = true;
    return false;
  }
  const bool first = !fastest_read_;
  fastest_read_ = true;
  return first;
}

}  // namespace velk::zorv_control
