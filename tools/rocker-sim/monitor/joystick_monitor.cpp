#include "rocker-sim/monitor/joystick_monitor.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <utility>
#include <vector>

#include "bundle_activator/start_options.h"
#include "common/log_level.h"
#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "rocker-sim/monitor/monitor_screen.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::rocker_sim {

namespace {

using Table = zorv_comm::RockerSignalTable;

constexpr auto kRateWindow = std::chrono::seconds(2);
constexpr int kIndicatorCodes = 5;
constexpr std::size_t kWarningsKept = 3;

}  // namespace

JoystickMonitor::JoystickMonitor(const std::string& device_info, LogSink log)
    : log_(std::move(log)),
      started_(MonitorReading::Clock::now()),
      device_name_(zorv_control::ModbusWrapperImpl::parseWithDefaults(device_info).device_name) {
  registry_ = std::make_shared<zorv_control::ModbusWrapperImpl>(
      [this](int level, const char*, int, const std::string& message) {
        keepWarning(level, message);
        if (log_) log_(level, message);
      });
  for (std::size_t index : Table::registrationOrder()) {
    const auto& entry = Table::entries()[index];
    registry_->modbusAddSignal(device_info, Table::kSlave, entry.address,
                               static_cast<int>(entry.type), entry.name);
  }
}

// The registry goes first: its poll thread logs through log_ until it is joined.
JoystickMonitor::~JoystickMonitor() { registry_.reset(); }

MonitorReading JoystickMonitor::read() {
  const auto names = registry_->modbusGetSignalNames();
  const auto values = registry_->modbusGetSignalValues();
  const auto errors = registry_->modbusGetSignalErrors();
  const auto read_times = registry_->modbusGetSignalReadTimes();
  MonitorReading reading;
  const auto now = MonitorReading::Clock::now();
  reading.t = std::chrono::duration<double>(now - started_).count();
  reading.taken_at = now;
  reading.input_timeout = zorv_comm::RockerSettings().input_timeout;
  MonitorReading::Clock::time_point newest;
  for (std::size_t i = 0;
       i < names.size() && i < values.size() && i < errors.size() && i < read_times.size(); ++i) {
    reading.signals[names[i]] = {values[i], errors[i], read_times[i]};
    newest = std::max(newest, read_times[i]);
  }
  if (newest != MonitorReading::Clock::time_point()) {
    reading.answered = true;
    reading.last_answer_t = std::chrono::duration<double>(newest - started_).count();
  }
  noteConnection(reading);
  noteErrors(reading);
  reading.last_error = last_error_;
  countNewReads(reading);
  while (!recent_reads_.empty() && now - recent_reads_.front() > kRateWindow) {
    recent_reads_.pop_front();
  }
  const double window = std::min(reading.t, std::chrono::duration<double>(kRateWindow).count());
  reading.reads_per_second = window > 0 ? static_cast<double>(recent_reads_.size()) / window : 0;
  return reading;
}

void JoystickMonitor::noteConnection(MonitorReading& reading) const {
  // The monitor's own signals keep the device in the registry for as long
  // as the monitor lives.
  const zorv_control::ModbusDevice* device = registry_->getModbusDeviceByName(device_name_);
  if (device == nullptr) return;
  reading.connected = device->isConnected();
  reading.connection_problem = device->connectionProblem();
  reading.transaction_seconds = device->transactionSeconds();
  reading.fastest_rate = device->fastestGroupRate();
  const std::lock_guard<std::mutex> lock(warnings_mutex_);
  reading.warnings.assign(warnings_.begin(), warnings_.end());
}

void JoystickMonitor::keepWarning(int level, const std::string& message) {
  if (level > kLogWarning) return;  // errors and warnings only
  char at[32];
  std::snprintf(at, sizeof at, "%.2f s  ",
                std::chrono::duration<double>(MonitorReading::Clock::now() - started_).count());
  const std::lock_guard<std::mutex> lock(warnings_mutex_);
  warnings_.push_back(at + message);
  if (warnings_.size() > kWarningsKept) warnings_.pop_front();
}

// The last error seen on any signal: one that has just gone into error, or
// into another one. Signals that fail together (a lost connection fails all
// of them) make one error.
void JoystickMonitor::noteErrors(const MonitorReading& reading) {
  std::map<int, std::vector<std::string>> fresh;
  for (const auto& [name, signal] : reading.signals) {
    const int error = reading.inError(signal) ? signal.error : 0;
    int& seen = errors_seen_[name];
    if (error != 0 && error != seen) fresh[error].push_back(name);
    seen = error;
  }
  if (fresh.empty()) return;
  const auto& [error, names] = *fresh.begin();
  char at[32];
  std::snprintf(at, sizeof at, "%.2f", reading.t);
  last_error_ = MonitorScreen::errorMeaning(error) + " on " +
                (names.size() == 1 ? names.front() : std::to_string(names.size()) + " signals") +
                " at " + at + " s";
}

// The signals of one group share the time of the read that brought them:
// each time seen for the first time is one request on the wire.
void JoystickMonitor::countNewReads(const MonitorReading& reading) {
  std::set<MonitorReading::Clock::time_point> fresh;
  for (const auto& [name, signal] : reading.signals) {
    auto& seen = seen_reads_[name];
    if (signal.read_at == seen || signal.read_at == MonitorReading::Clock::time_point()) continue;
    seen = signal.read_at;
    fresh.insert(signal.read_at);
  }
  recent_reads_.insert(recent_reads_.end(), fresh.begin(), fresh.end());
}

void JoystickMonitor::togglePowerLight() {
  power_light_ = !power_light_;
  registry_->modbusSetOutputSignal(Table::kPowerLight, power_light_ ? 1 : 0);
}

void JoystickMonitor::toggleSpeedLight() {
  speed_light_ = !speed_light_;
  registry_->modbusSetOutputSignal(Table::kSpeedLight, speed_light_ ? 1 : 0);
}

void JoystickMonitor::stepIndicator() {
  indicator_ = (indicator_ + 1) % kIndicatorCodes;
  registry_->modbusSetOutputSignal(Table::kIndicator, static_cast<uint16_t>(indicator_));
}

}  // namespace velk::rocker_sim
