#include "bench/rocker_rig.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "bench/modbus_call_log.h"
#include "bench/thread_probe.h"
#include "bench/wait_until.h"
#include "joystick_sim/joystick_map.h"

namespace velk::bench {

using joystick_sim::JoystickMap;
namespace {

using namespace std::chrono_literals;

const char* const kTaskThreadName = "ROCKER Server";
// The registry names its thread within Linux's 15 characters.
const char* const kPollThreadName = "RockerModbusCli";

}  // namespace

void require(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("bench: " + what);
}

RockerRig::RockerRig(const RigSettings& settings)
    : transport_(settings.transport),
      stick_rate_(settings.stick_rate),
      input_timeout_s_(settings.input_timeout_s),
      home_(std::make_unique<ScratchHome>()),
      robot_(std::make_unique<sim::SimulatedRobot>()),
      joystick_(
          std::make_unique<BenchJoystick>(settings.transport, settings.lifetime, settings.tapped)),
      log_(std::make_unique<LogCounter>(std::vector<std::string>{
          "Get rocker modbus data success!", "Get rocker modbus data error!", "startup rocker",
          "Rocker stop", "Rocker stop: the stick values are", "距离上一组运动时间间隔:",
          "Connected to Modbus Slave", "Assume modbus unit disconnected"})),
      host_(std::make_unique<BenchHost>(settings.bundle_path)) {
  robot_->setRealTime(true);
  // Only commands are kept, and only a few: long runs must not grow here.
  robot_->setRecordQueries(false);
  robot_->setCallRecordCapacity(256);
}

RockerRig::~RockerRig() {
  // The bundle first: it calls into the log, the robot and the joystick.
  host_.reset();
  log_.reset();
  joystick_.reset();
  robot_.reset();
  home_.reset();
}

std::string RockerRig::options() const {
  std::ostringstream text;
  text << "cycle = 0.01\ndevice_info = \"" << joystick_->deviceInfo() << "\"\n";
  if (stick_rate_ > 0) text << "stick_rate = " << stick_rate_ << "\n";
  // TOML wants a float written as one: 0.08, never 8e-02.
  if (input_timeout_s_ > 0) text << std::fixed << "input_timeout = " << input_timeout_s_ << "\n";
  return text.str();
}

int RockerRig::stickRate() const { return stick_rate_ > 0 ? stick_rate_ : kStickRate; }

double RockerRig::inputTimeoutMs() const {
  return input_timeout_s_ > 0 ? input_timeout_s_ * 1000.0 : kInputTimeoutMs;
}

int RockerRig::pollPassesPerStickRead() const {
  const double period_ms = 1000.0 / stickRate();
  return std::max(1, static_cast<int>(std::ceil(period_ms / kPollPeriodMs - 1e-6)));
}

void RockerRig::loadBundle() { host_->startBundle(); }

void RockerRig::startRocker() { host_->startExtension(robot_->api(), log_->callback(), options()); }

void RockerRig::awaitJoystickData() {
  const int before = log_->count("Get rocker modbus data success!");
  require(
      waitUntil([&] { return log_->count("Get rocker modbus data success!") > before; }, 10s, 5ms),
      "the bundle did not read the joystick within 10 s");
}

void RockerRig::switchJoggingOn() {
  const int before = log_->count("startup rocker");
  joystick_->setButton(joystick_sim::Button::kPower, true);
  require(waitUntil([&] { return log_->count("startup rocker") > before; }, 5s, 5ms),
          "jogging was not switched on within 5 s");
  joystick_->setButton(joystick_sim::Button::kPower, false);
  require(waitUntil([&] { return joystick_->slave().coil(JoystickMap::kPowerLightCoil); }, 5s, 5ms),
          "the power light was not written within 5 s");
  // The write repeats until the next read of the coil group confirms it,
  // at most one group period.
  std::this_thread::sleep_for(300ms);
}

void RockerRig::bringUp() {
  loadBundle();
  startRocker();
  awaitJoystickData();
  switchJoggingOn();
}

void RockerRig::stopRocker() { host_->stopExtension(); }

void RockerRig::releaseBundle() { host_->releaseExtension(); }

int RockerRig::taskThreadTid() const {
  const auto tids = ThreadProbe::tidsNamed(kTaskThreadName);
  return tids.size() == 1 ? tids.front() : -1;
}

int RockerRig::pollThreadTid() const {
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
