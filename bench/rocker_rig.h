#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "bench/bench_host.h"
#include "bench/bench_joystick.h"
#include "bench/log_counter.h"
#include "bench/scratch_home.h"
#include "bench/transport.h"
#include "robot_sim/simulated_robot.h"

namespace velk::bench {

struct RigSettings {
  Transport transport = Transport::kTcp;
  std::string bundle_path;
  // How long the joystick slave serves at most; the longest run is ten
  // minutes.
  std::chrono::seconds lifetime{900};
  // The joystick behind a fault injector (BenchJoystick).
  bool tapped = false;
  // Start options "stick_rate" (Hz) and "input_timeout" (s); 0 leaves the
  // option out, so the bundle takes its default.
  int stick_rate = 0;
  double input_timeout_s = 0.0;
};

// Everything one benchmark needs around the bundle: a scratch HOME, the
// simulated robot (running, normal safety, idle program: jogging allowed;
// simulated time follows the steady clock), the joystick slave, a counting
// log and the host that loads the bundle. The bundle runs with a cycle of
// 10 ms, and with the stick rate and input_timeout of the settings (by
// default 10 Hz and 0.3 s).
class RockerRig {
 public:
  static constexpr double kCycleMs = 10.0;
  static constexpr double kInputTimeoutMs = 300.0;
  static constexpr int kStickRate = 10;
  static constexpr double kPollPeriodMs = 10.0;

  explicit RockerRig(const RigSettings& settings);
  ~RockerRig();
  RockerRig(const RockerRig&) = delete;
  RockerRig& operator=(const RockerRig&) = delete;

  // The steps of bringUp(), for benchmarks that time them.
  void loadBundle();
  void startRocker();
  // Until the bundle has connected and read all 16 signals.
  void awaitJoystickData();
  // Presses and releases the power button, then waits until the power
  // light has been confirmed and its writes have stopped.
  void switchJoggingOn();
  void bringUp();
  void stopRocker();
  void releaseBundle();

  BenchJoystick& joystick() { return *joystick_; }
  sim::SimulatedRobot& robot() { return *robot_; }
  LogCounter& log() { return *log_; }
  Transport transport() const { return transport_; }
  // What the bundle was started with.
  int stickRate() const;
  double inputTimeoutMs() const;
  // Poll passes from one read of the stick's group to the next: a group is
  // due on the pass whose nominal 10 ms steps reach its period.
  int pollPassesPerStickRead() const;

  // The bundle's periodic task thread and its Modbus poll thread; -1 when
  // not running.
  int taskThreadTid() const;
  int pollThreadTid() const;

 private:
  std::string options() const;

  Transport transport_;
  int stick_rate_;
  double input_timeout_s_;
  std::unique_ptr<ScratchHome> home_;
  std::unique_ptr<sim::SimulatedRobot> robot_;
  std::unique_ptr<BenchJoystick> joystick_;
  std::unique_ptr<LogCounter> log_;
  std::unique_ptr<BenchHost> host_;
};

// Throws std::runtime_error("bench: " + what) unless `ok`.
void require(bool ok, const std::string& what);

}  // namespace velk::bench
