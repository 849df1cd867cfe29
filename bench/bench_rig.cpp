#include "bench/bench_rig.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "bench/modbus_call_log.h"
#include "host_rig/thread_probe.h"
#include "joystick_sim/joystick_map.h"

namespace velk::bench {

using host_rig::ThreadProbe;

using joystick_sim::JoystickMap;
using namespace host_rig::timing;

namespace {

const char* const kTaskThreadName = "ROCKER Server";
// The registry names its thread within Linux's 15 characters.
const char* const kPollThreadName = "RockerModbusCli";

host_rig::RigSettings hostSettings(const BenchRigSettings& settings) {
  host_rig::RigSettings host;
  host.bundle_path = settings.bundle_path;
  host.keep_log = 0;
  host.watched_log = {"Get rocker modbus data success!",
                      "Get rocker modbus data error!",
                      "startup rocker",
                      "Rocker stop",
                      "Rocker stop: the stick values are",
                      "距离上一组运动时间间隔:",
                      "Connected to Modbus Slave",
                      "Assume modbus unit disconnected",
                      "cannot be read as often as asked",
                      "reads of the stick at the rate the line achieves"};
  return host;
}

}  // namespace

void require(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("bench: " + what);
}

BenchRig::BenchRig(const BenchRigSettings& settings)
    : BundleRig(hostSettings(settings)),
      stick_rate_(settings.stick_rate),
      input_timeout_s_(settings.input_timeout_s),
      jog_follow_(settings.jog_follow),
      joystick_(std::make_unique<LoopbackJoystick>(settings.transport, settings.lifetime,
                                                   settings.tapped, settings.reply_latency_ms)) {
  robot().setRealTime(true);
  // Only commands are kept, and only a few: long runs must not grow here.
  robot().setRecordQueries(false);
  robot().setCallRecordCapacity(256);
}

BenchRig::~BenchRig() { bundle().shutdown(); }

void BenchRig::startRocker() { BundleRig::startRocker(joystick_->deviceInfo(), moreOptions()); }

std::string BenchRig::moreOptions() const {
  std::ostringstream text;
  if (stick_rate_ > 0) text << "stick_rate = " << stick_rate_ << "\n";
  // TOML wants a float written as one: 0.08, never 8e-02.
  if (input_timeout_s_ > 0) text << std::fixed << "input_timeout = " << input_timeout_s_ << "\n";
  if (jog_follow_) text << "jog_follow = true\n";
  return text.str();
}

int BenchRig::stickRate() const { return stick_rate_ > 0 ? stick_rate_ : kStickRate; }

double BenchRig::inputTimeoutMs() const {
  return input_timeout_s_ > 0 ? input_timeout_s_ * 1000.0 : kInputTimeoutMs;
}

int BenchRig::pollPassesPerStickRead() const {
  const double period_ms = 1000.0 / stickRate();
  return std::max(1, static_cast<int>(std::ceil(period_ms / kPollPeriodMs - 1e-6)));
}

void BenchRig::awaitJoystickData() {
  require(BundleRig::awaitJoystickData(10s), "the bundle did not read the joystick within 10 s");
}

void BenchRig::switchJoggingOn() {
  require(BundleRig::switchJoggingOn(joystick_->slave()), "jogging was not switched on");
  require(waitFor([&] { return joystick_->slave().coil(JoystickMap::kPowerLightCoil); }, 5s, 5ms),
          "the power light was not written within 5 s");
  // The write repeats until the next read of the coil group confirms it,
  // at most one group period.
  std::this_thread::sleep_for(300ms);
}

void BenchRig::bringUp() {
  loadBundle();
  startRocker();
  awaitJoystickData();
  switchJoggingOn();
}

int BenchRig::taskThreadTid() const {
  const auto tids = ThreadProbe::tidsNamed(kTaskThreadName);
  return tids.size() == 1 ? tids.front() : -1;
}

int BenchRig::pollThreadTid() const {
  const auto tids = ThreadProbe::tidsNamed(kPollThreadName);
  if (tids.size() == 1) return tids.front();
  // Should the name change, the thread that reads the stick is the one.
  const auto calls = ModbusCallLog::calls();
  for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
    if (it->function == 4 && it->address == JoystickMap::kFirstAxisRegister && it->count > 1)
      return it->tid;
  }
  return -1;
}

}  // namespace velk::bench
