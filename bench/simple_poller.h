#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "bench/loopback_joystick.h"

typedef struct _modbus modbus_t;

namespace velk::bench {

// The simplest alternative to the bundle's batched reads: a plain Modbus
// master that, every 100 ms on a fixed schedule, reads each of the
// joystick's 16 signals with a request of its own (function 1 for the six
// coils, 4 for the nine input registers, 3 for the holding register). It
// writes nothing.
class SimplePoller {
 public:
  // Connects to `joystick` (a second slave, so that its requests are
  // counted apart from the bundle's) and starts polling. Polls for at most
  // `lifetime`.
  SimplePoller(const LoopbackJoystick& joystick, std::chrono::seconds lifetime);
  ~SimplePoller();
  SimplePoller(const SimplePoller&) = delete;
  SimplePoller& operator=(const SimplePoller&) = delete;

  void stop();
  int rounds() const { return rounds_.load(); }
  int failures() const { return failures_.load(); }

 private:
  void run(std::chrono::steady_clock::time_point deadline);
  void pollRound(modbus_t* context);

  const LoopbackJoystick& joystick_;
  std::atomic<bool> stop_{false};
  std::atomic<int> rounds_{0};
  std::atomic<int> failures_{0};
  std::thread thread_;
};

}  // namespace velk::bench
