#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "bench/loopback_joystick.h"
#include "bench/transport.h"
#include "host_rig/bundle_rig.h"

namespace velk::bench {

struct BenchRigSettings {
  Transport transport = Transport::kTcp;
  std::string bundle_path;
  // How long the joystick slave serves at most; the longest run is ten
  // minutes.
  std::chrono::seconds lifetime{900};
  // The joystick behind a fault injector (LoopbackJoystick).
  bool tapped = false;
  // Start options "stick_rate" (Hz) and "input_timeout" (s); 0 leaves the
  // option out, so the bundle takes its default.
  int stick_rate = 0;
  double input_timeout_s = 0.0;
  // Start option "jog_follow".
  bool jog_follow = false;
  // RTU only: the line paced at 115200 baud, each reply held this much
  // longer (a USB serial adapter's latency timer); -1 leaves it unpaced.
  int reply_latency_ms = -1;
};

// The host rig with what every benchmark adds: a joystick slave of its own,
// a robot whose simulated time follows the steady clock and which keeps
// only a few commands, and a log that keeps nothing but counts the watched
// messages, so that a run of any length holds no more memory at its end than
// at its start. The bundle runs with a cycle of 10 ms, and with the stick
// rate and input_timeout of the settings (by default 10 Hz and 0.3 s).
class BenchRig : public host_rig::BundleRig {
 public:
  static constexpr double kCycleMs = 10.0;
  static constexpr double kInputTimeoutMs = 300.0;
  static constexpr int kStickRate = 10;
  static constexpr double kPollPeriodMs = 10.0;

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

  LoopbackJoystick& joystick() { return *joystick_; }
  // What the bundle was started with.
  int stickRate() const;
  double inputTimeoutMs() const;
  // Poll passes from one read of the stick's group to the next: a group is
  // due on the pass whose nominal 10 ms steps reach its period.
  int pollPassesPerStickRead() const;
  Transport transport() const { return joystick_->transport(); }

  // The bundle's periodic task thread and its Modbus poll thread; -1 when
  // not running.
  int taskThreadTid() const;
  int pollThreadTid() const;

 private:
  // The start options beyond the device: the stick rate and input_timeout.
  std::string moreOptions() const;

  int stick_rate_;
  double input_timeout_s_;
  bool jog_follow_;
  std::unique_ptr<LoopbackJoystick> joystick_;
};

// Throws std::runtime_error("bench: " + what) unless `ok`.
void require(bool ok, const std::string& what);

}  // namespace velk::bench
