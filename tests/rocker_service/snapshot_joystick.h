#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "communication/modbus_wrapper/signal_snapshot.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::test {

// The joystick's 16 signals as the registry reports them, on the test's
// clock: each snapshot reads every signal not in error anew (value and read
// time), unless the joystick is silent. It starts read and healthy. A
// signal in error, or not answered, keeps its last value and read time, as
// in the registry.
class SnapshotJoystick {
 public:
  using Clock = std::chrono::steady_clock;

  explicit SnapshotJoystick(std::function<Clock::time_point()> now) : now_(std::move(now)) {
    for (const auto& entry : zorv_comm::RockerSignalTable::entries()) {
      signals_[entry.name] = Signal{0, 0, 0, now_(), false};
    }
  }

  // Signed values are sent as the joystick's two's complement.
  void set(const char* name, int value) { signals_.at(name).value = static_cast<uint16_t>(value); }
  void setStickX(int x) { set(zorv_comm::RockerSignalTable::kX, x); }
  void press(const char* button, bool pressed) { set(button, pressed ? 1 : 0); }
  // 0 heals; a negative state is a lost connection, 2 a signal never read.
  void setError(const char* name, int state) { signals_.at(name).error = state; }
  void setAllErrors(int state) {
    for (auto& entry : signals_) entry.second.error = state;
  }
  // A signal whose probe has cleared its error state but whose group has
  // never been read.
  void forget(const char* name) {
    Signal& signal = signals_.at(name);
    signal = Signal{signal.value, 0, 0, Clock::time_point(), true};
  }
  // No replies: nothing is read, no error is seen yet.
  void setSilent(bool silent) { silent_ = silent; }

  void fill(zorv_control::SignalSnapshot& snapshot) {
    snapshot = {};
    for (auto& [name, signal] : signals_) {
      if (signal.error == 0 && !silent_ && !signal.unread) {
        signal.read = now_();
        signal.reported = signal.value;
      }
      snapshot.names.push_back(name);
      snapshot.values.push_back(signal.reported);
      snapshot.errors.push_back(signal.error);
      snapshot.read_times.push_back(signal.read);
    }
  }

 private:
  struct Signal {
    uint16_t value;     // what the joystick holds
    uint16_t reported;  // what was last read
    int error;
    Clock::time_point read;
    bool unread;
  };

  std::function<Clock::time_point()> now_;
  std::map<std::string, Signal> signals_;  // byte-wise name order, as the registry's
  bool silent_ = false;
};

}  // namespace velk::test
