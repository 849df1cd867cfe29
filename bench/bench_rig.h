#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "bench/bench_joystick.h"
#include "bench/transport.h"
#include "host_rig/rocker_rig.h"

namespace velk::bench {

struct BenchRigSettings {
  Transport transport = Transport::kTcp;
  std::string bundle_path;
  // How long the joystick slave serves at most; the longest run is ten
  // minutes.
  std::chrono::seconds lifetime{900};
  // The joystick behind a fault injector (BenchJoystick).
  bool tapped = false;
};

// The host rig with what every benchmark adds: a joystick slave of its own,
// a robot whose simulated time follows the steady clock and which keeps
// only a few commands, and a log that keeps nothing but counts the watched
// messages, so that a run of any length holds no more memory at its end than
// at its start. The bundle runs with the default cycle of 10 ms and the
// default input_timeout of 0.3 s.
class BenchRig : public host_rig::RockerRig {
 public:
  static constexpr double kInputTimeoutMs = 300.0;

  explicit BenchRig(const BenchRigSettings& settings);
  // The bundle first: it polls the joystick.
  ~BenchRig();

  void startRocker();
  // Until the bundle has connected and read all 16 signals.
  void awaitJoystickData();
  // Presses and releases the power button, then waits until the power
  // light has been confirmed and its writes have stopped.
  void switchJoggingOn();
  void bringUp();

  BenchJoystick& joystick() { return *joystick_; }
  Transport transport() const { return joystick_->transport(); }

  // The bundle's periodic task thread and its Modbus poll thread; -1 when
  // not running.
  int taskThreadTid() const;
  int pollThreadTid() const;

 private:
  std::unique_ptr<BenchJoystick> joystick_;
};

// Throws std::runtime_error("bench: " + what) unless `ok`.
void require(bool ok, const std::string& what);

}  // namespace velk::bench
