#include "communication/modbus_wrapper/modbus_wrapper_impl.h"

#include <pthread.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "common/yielding_lock_guard.h"
#include "communication/modbus_wrapper/device_info_screen.h"

namespace velk::zorv_control {

namespace {

constexpr int kResponseTimeoutMs = 1000;
// Linux refuses thread names longer than 15 characters, so the full
// "RockerModbusClient" would leave the thread unnamed.
constexpr const char* kPollThreadName = "RockerModbusCli";
// The poll thread's waits between passes: at most this long while every
// device is connected (then it wakes when a read falls due or an output is
// queued), and at least a moment.
constexpr double kLongestSleep = 0.1;
constexpr std::chrono::microseconds kShortestSleep{500};

// Comma-separated fields; runs of commas and commas at either end make no
// field, blanks belong to the field.
std::vector<std::string> splitFields(const std::string& text) {
  std::vector<std::string> fields;
  std::string current;
  for (char c : text) {
    if (c != ',') {
      current.push_back(c);
    } else if (!current.empty()) {
      fields.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) fields.push_back(std::move(current));
  return fields;
}

int readNumber(const std::string& field) {
  return static_cast<int>(std::strtol(field.c_str(), nullptr, 10));
}

}  // namespace

ModbusWrapperImpl::ModbusWrapperImpl(
    std::function<void(int, const char*, int, const std::string&)> log)
    : log_(std::move(log)), running_(true), debug_(false), poll_period_us_(10000) {
  // Last, so the thread finds a complete registry.
  poll_thread_ = std::make_unique<std::thread>(&ModbusWrapperImpl::modbusPoll, this);
}

ModbusWrapperImpl::~ModbusWrapperImpl() {
  running_ = false;
  wakePollThread();
  if (poll_thread_ && poll_thread_->joinable()) poll_thread_->join();
  // Nothing else runs any more, but the locks are still taken in their one
  // order: signal lock, then device lock. Devices go first: they refer to
  // signals they do not own.
  std::lock_guard<std::mutex> signals_lock(signal_mutex_);
  std::lock_guard<std::mutex> devices_lock(device_mutex_);
  for (auto& entry : devices_) {
    if (entry.second == nullptr) continue;
    entry.second->close();
    delete entry.second;
  }
  devices_.clear();
  reservations_.clear();
  for (auto& entry : signals_) delete entry.second;
  signals_.clear();
  poll_thread_.reset();
}

int ModbusWrapperImpl::parseDeviceInfo(std::string device_info, std::string& device_name,
                                       std::string& host, int& port, std::string& serial_path,
                                       int& baud, char& parity, int& data_bits, int& stop_bits,
                                       bool& tcp) {
  const std::vector<std::string> fields = splitFields(device_info);
  for (size_t i = 0; i < fields.size() && i < 5; ++i) {
    const std::string& field = fields[i];
    switch (i) {
      case 0:
        host = field;
        serial_path = field;
        break;
      case 1:
        port = readNumber(field);
        baud = port;
        break;
      case 2:
        parity = field.front();
        break;
      case 3:
        data_bits = readNumber(field);
        break;
      default:
        stop_bits = readNumber(field);
        break;
    }
  }
  if (fields.size() == 2) {
    device_name = host + ":" + std::to_string(port);
  } else {
    device_name = serial_path;
    tcp = false;
  }
  return 0;
}

DeviceParameters ModbusWrapperImpl::parseWithDefaults(const std::string& device_info) {
  DeviceParameters p;
  parseDeviceInfo(device_info, p.device_name, p.host, p.port, p.serial_path, p.baud, p.parity,
                  p.data_bits, p.stop_bits, p.tcp);
  p.field_count = static_cast<int>(splitFields(device_info).size());
  return p;
}

std::optional<DeviceParameters> ModbusWrapperImpl::screenDeviceInfo(
    const std::string& device_info) {
  const auto problem = DeviceInfoScreen::problem(device_info);
  if (!problem) return parseWithDefaults(device_info);
  common::YieldingLockGuard lock(refused_mutex_);
  if (refused_device_infos_.insert(device_info).second) {
    VELK_LOG(log_, kLogError) << "Modbus device info \"" << device_info
                              << "\" refused, no device is made for it: " << *problem;
  }
  return std::nullopt;
}

ModbusDevice* ModbusWrapperImpl::getModbusDeviceByName(const std::string& name) {
  common::YieldingLockGuard lock(device_mutex_);
  auto it = devices_.find(name);
  if (it == devices_.end()) return nullptr;
  if (it->second == nullptr) {
    VELK_LOGF(log_, kLogWarning, "Modbus device {} found but is nullptr.  ", name);
  }
  return it->second;
}

ReservedDevice ModbusWrapperImpl::reserveDeviceByName(const std::string& name) {
  common::YieldingLockGuard lock(device_mutex_);
  auto it = devices_.find(name);
  if (it == devices_.end()) return ReservedDevice();
  if (it->second == nullptr) {
    VELK_LOGF(log_, kLogWarning, "Modbus device {} found but is nullptr.  ", name);
  }
  return reserveLocked(it->second);
}

ReservedDevice ModbusWrapperImpl::obtainReservedDevice(const DeviceParameters& params, int slave) {
  // Lookup and entry happen under one hold of the device lock: two callers
  // creating the same device at once would otherwise both enter one, and the
  // second entry would orphan the first together with what was attached to it.
  // Constructing a device does no I/O, so holding the lock for it is cheap.
  common::YieldingLockGuard lock(device_mutex_);
  auto it = devices_.find(params.device_name);
  if (it != devices_.end() && it->second == nullptr) {
    VELK_LOGF(log_, kLogWarning, "Modbus device {} found but is nullptr.  ", params.device_name);
  }
  ModbusDevice* device = it != devices_.end() ? it->second : nullptr;
  if (device == nullptr) {
    device = createDevice(params, slave);
    devices_[params.device_name] = device;
  }
  return reserveLocked(device);
}

ModbusDevice* ModbusWrapperImpl::createDevice(const DeviceParameters& p, int slave) const {
  // Constructing a device does no I/O; the poll thread connects it.
  if (p.tcp) return new ModbusDevice(log_, p.host, p.port, slave, kResponseTimeoutMs);
  return new ModbusDevice(log_, p.serial_path, p.baud, p.parity, p.data_bits, p.stop_bits, slave,
                          kResponseTimeoutMs);
}

ReservedDevice ModbusWrapperImpl::reserveLocked(ModbusDevice* device) {
  if (device == nullptr) return ReservedDevice();
  ++reservations_[device];
  return ReservedDevice(*this, device);
}

void ModbusWrapperImpl::releaseDevice(ModbusDevice* device) noexcept {
  common::YieldingLockGuard lock(device_mutex_);
  auto it = reservations_.find(device);
  if (it != reservations_.end() && --it->second <= 0) reservations_.erase(it);
}

// ------------------------------------------------------------------ signals

int ModbusWrapperImpl::modbusAddSignal(const std::string& device_info, int slave, int address,
                                       int address_type, const std::string& name) {
  if (name.empty()) {
    VELK_LOGF(log_, kLogWarning, "modbusAddSignal FAILED: signal name is empty.");
    return 0;
  }
  // A refused text is said by its Error line; the result stays 0, as for
  // every add, since callers may rely on it.
  const auto screened = screenDeviceInfo(device_info);
  if (!screened) return 0;
  const DeviceParameters& params = *screened;
  common::YieldingLockGuard lock(signal_mutex_);
  ModbusSignal* reused = nullptr;
  auto it = signals_.find(name);
  if (it != signals_.end()) {
    if (it->second->device_name == params.device_name) {
      updateSignalInPlace(*it->second, address, address_type);
      return 0;
    }
    reused = detachForMove(*it->second, params.device_name, address, address_type);
  }
  ModbusSignal* signal = reused != nullptr ? reused : new ModbusSignal();
  signal->device_name = params.device_name;
  signal->address = address;
  signal->name = name;
  signal->update_frequency = ModbusSignal::kDefaultUpdateFrequency;
  signal->type = static_cast<AddressType>(address_type);
  attachToDevice(signal, params, slave);
  signals_[name] = signal;
  VELK_LOGF(log_, kLogInfo, "Add/Update Modbus signal {}(@{} type: {} address: {}) ", name,
            device_info, address_type, address);
  return 0;
}

bool ModbusWrapperImpl::isAt(const ModbusSignal& signal, int address, int address_type) {
  return signal.address.load() == address && static_cast<int>(signal.type.load()) == address_type;
}

void ModbusWrapperImpl::updateSignalInPlace(ModbusSignal& signal, int address, int address_type) {
  const int old_address = signal.address.load();
  const int old_type = static_cast<int>(signal.type.load());
  if (isAt(signal, address, address_type)) {
    VELK_LOGF(log_, kLogWarning, "Cannot add Modbus signal ({}) Already exists. ", signal.name);
    return;
  }
  if (old_address != address) {
    VELK_LOGF(log_, kLogInfo, "Move Modbus signal({}) address changed from {} to {}", signal.name,
              "", old_address, address);
  }
  if (old_type != address_type) {
    VELK_LOGF(log_, kLogInfo, "Move Modbus signal({})  type changed from {} to {} ", signal.name,
              old_type, address_type);
  }
  // Detached for a moment, the device may hold no signal at all: reserved,
  // it is not pruned meanwhile.
  const ReservedDevice device = reserveDeviceByName(signal.device_name);
  // Address and type are two fields: while the poll thread could still reach
  // the signal it might pair the new address with the old type and hand it a
  // value from the wrong address space. Detached, it cannot see the change
  // half done.
  if (device) device->deleteSignal(signal.name);
  signal.address = address;
  signal.type = static_cast<AddressType>(address_type);
  if (!device) return;
  device->addSignal(&signal);
  // Grouping depends on the order signals are sorted in; rebuild in name order
  // as any other regroup would, not with this signal last.
  device->refreshSignalsGroup();
}

ModbusSignal* ModbusWrapperImpl::detachForMove(ModbusSignal& signal, const std::string& new_device,
                                               int address, int address_type) {
  if (!isAt(signal, address, address_type)) {
    modbusRemoveSignal(signal.name);
    return nullptr;
  }
  const ReservedDevice old_device = reserveDeviceByName(signal.device_name);
  if (old_device) {
    old_device->deleteSignal(signal.name);
    VELK_LOGF(log_, kLogInfo, "Move Modbus signal({}) from modbus device({}) to modbus device({}) ",
              signal.name, signal.device_name, new_device);
  }
  return &signal;
}

void ModbusWrapperImpl::attachToDevice(ModbusSignal* signal, const DeviceParameters& params,
                                       int slave) {
  const ReservedDevice device = obtainReservedDevice(params, slave);
  device->addSignal(signal);
}

void ModbusWrapperImpl::detachFromDevice(const ModbusSignal& signal) {
  // Detaching takes the device's signal-map lock, so once it returns no poll
  // pass can still be touching the signal and it may be released. The
  // regroup that follows may yield with the device already empty; the
  // reservation keeps it from being pruned until the call has returned.
  const ReservedDevice device = reserveDeviceByName(signal.device_name);
  if (device) device->deleteSignal(signal.name);
}

void ModbusWrapperImpl::modbusRemoveSignal(const std::string& name) {
  auto it = signals_.find(name);
  if (it == signals_.end()) return;
  ModbusSignal* signal = it->second;
  detachFromDevice(*signal);
  signals_.erase(it);
  VELK_LOGF(log_, kLogInfo, "Modbus signal {} removed. ", signal->name);
  delete signal;
}

int ModbusWrapperImpl::modbusDeleteSignal(const std::string& name) {
  common::YieldingLockGuard lock(signal_mutex_);
  if (signals_.count(name) == 0) {
    VELK_LOGF(log_, kLogWarning, "Modbus signal {} remove failed, because it is not exist.", name);
    return -1;
  }
  modbusRemoveSignal(name);
  return 0;
}

int ModbusWrapperImpl::modbusDeleteAllSignals() {
  common::YieldingLockGuard lock(signal_mutex_);
  for (auto& entry : signals_) {
    detachFromDevice(*entry.second);
    VELK_LOGF(log_, kLogInfo, "Modbus signal {} removed.", entry.first);
    delete entry.second;
  }
  signals_.clear();
  return -1;
}

int ModbusWrapperImpl::modbusSetSignalUpdateFrequency(const std::string& name, int frequency) {
  if (frequency <= 0) {
    VELK_LOGF(log_, kLogError, "Frequency cannot be less than 0");
    return -1;
  }
  common::YieldingLockGuard lock(signal_mutex_);
  auto it = signals_.find(name);
  if (it == signals_.end()) return 0;
  ModbusSignal* signal = it->second;
  signal->update_frequency = frequency;
  const ReservedDevice device = reserveDeviceByName(signal->device_name);
  if (device) device->updateSignalFrequency(signal);
  return 0;
}

// ------------------------------------------------------------------ queries

template <class Field>
std::vector<int> ModbusWrapperImpl::collectSignalField(Field field) const {
  std::lock_guard<std::mutex> lock(signal_mutex_);
  std::vector<int> result;
  result.reserve(signals_.size());
  for (const auto& entry : signals_) result.push_back(field(*entry.second));
  return result;
}

std::vector<std::string> ModbusWrapperImpl::modbusGetSignalNames() const {
  std::lock_guard<std::mutex> lock(signal_mutex_);
  std::vector<std::string> names;
  names.reserve(signals_.size());
  for (const auto& entry : signals_) names.push_back(entry.first);
  return names;
}

std::vector<int> ModbusWrapperImpl::modbusGetSignalTypes() const {
  return collectSignalField(
      [](const ModbusSignal& signal) { return static_cast<int>(signal.type.load()); });
}

std::vector<int> ModbusWrapperImpl::modbusGetSignalValues() const {
  // value and error_state are atomics written by the poll thread under the
  // device's lock only; each load is whole, never half of an update.
  return collectSignalField(
      [](const ModbusSignal& signal) { return static_cast<int>(signal.value.load()); });
}

std::vector<int> ModbusWrapperImpl::modbusGetSignalErrors() const {
  return collectSignalField(
      [](const ModbusSignal& signal) { return static_cast<int>(signal.error_state.load()); });
}

std::vector<std::chrono::steady_clock::time_point> ModbusWrapperImpl::modbusGetSignalReadTimes()
    const {
  std::lock_guard<std::mutex> lock(signal_mutex_);
  std::vector<std::chrono::steady_clock::time_point> times;
  times.reserve(signals_.size());
  for (const auto& entry : signals_) times.push_back(entry.second->lastRead());
  return times;
}

void ModbusWrapperImpl::modbusGetSignalSnapshot(SignalSnapshot& snapshot) const {
  std::lock_guard<std::mutex> lock(signal_mutex_);
  const std::size_t count = signals_.size();
  snapshot.names.resize(count);
  snapshot.values.resize(count);
  snapshot.errors.resize(count);
  snapshot.read_times.resize(count);
  std::size_t i = 0;
  for (const auto& [name, signal] : signals_) {
    snapshot.names[i] = name;  // reuses the string's room
    snapshot.values[i] = static_cast<int>(signal->value.load());
    snapshot.errors[i] = static_cast<int>(signal->error_state.load());
    snapshot.read_times[i] = signal->lastRead();
    ++i;
  }
}

int ModbusWrapperImpl::modbusGetSignalStatus(const std::string& name) const {
  std::lock_guard<std::mutex> lock(signal_mutex_);
  auto it = signals_.find(name);
  if (it == signals_.end()) {
    VELK_LOGF(log_, kLogError, "modbusGetSignalStatus error: modbus {} signal not exist ! ", name);
    return 0;
  }
  return static_cast<int>(it->second->value.load());
}

// ------------------------------------------------------ outputs and commands

int ModbusWrapperImpl::modbusSetOutputSignal(const std::string& name, unsigned short value) {
  common::YieldingLockGuard lock(signal_mutex_);
  auto it = signals_.find(name);
  if (it == signals_.end()) {
    VELK_LOGF(log_, kLogError, "Modbus signal({}) not exist when set output ! ", name);
    return -1;
  }
  // Value and pending flag go out in one atomic store, and the poll thread's
  // read-back clears the flag only if the word still holds the value it read:
  // an output set while a write or read is under way is never lost.
  it->second->setOutput(value);
  wakePollThread();
  return 0;
}

int ModbusWrapperImpl::modbusSendCustomCommand(const std::string& device_info, int slave,
                                               int function,
                                               const std::vector<unsigned char>& data) {
  // Refused like an add: the Error line says it, the result stays 0.
  const auto screened = screenDeviceInfo(device_info);
  if (!screened) return 0;
  std::vector<uint8_t> request;
  request.reserve(data.size() + 2);
  request.push_back(static_cast<uint8_t>(slave & 0xFF));
  request.push_back(static_cast<uint8_t>(function & 0xFF));
  request.insert(request.end(), data.begin(), data.end());
  const ReservedDevice device = obtainReservedDevice(*screened, slave);
  device->addRawRequest(request);
  wakePollThread();
  return 0;
}

// -------------------------------------------------------------- poll thread

void ModbusWrapperImpl::modbusPoll() {
  pthread_setname_np(pthread_self(), kPollThreadName);
  // The devices schedule their reads by the time that has really passed
  // since the previous pass began, I/O included.
  auto previous = std::chrono::steady_clock::now();
  while (running_) {
    const auto begun = std::chrono::steady_clock::now();
    const double elapsed = std::chrono::duration<double>(begun - previous).count();
    previous = begun;
    const double due = pollPass(elapsed);
    sleepUntilDue(begun, due);
  }
}

double ModbusWrapperImpl::pollPass(double elapsed) {
  pruneAndSnapshot();
  // Device I/O runs without the device lock, so operations can look devices
  // up and enter new ones meanwhile. Only this thread releases devices, so the
  // snapshot's pointers stay valid for the whole pass.
  double due = kLongestSleep;
  for (ModbusDevice* device : pass_devices_) {
    serviceDevice(device, elapsed);
    // A device that is not connected counts its passes to pace its
    // connection attempts: it keeps the poll period.
    due = std::min(due, device->isConnected() ? device->secondsUntilDue() : poll_period_us_ / 1e6);
  }
  return pass_devices_.empty() ? poll_period_us_ / 1e6 : due;
}

void ModbusWrapperImpl::pruneAndSnapshot() {
  std::lock_guard<std::mutex> lock(device_mutex_);
  for (auto it = devices_.begin(); it != devices_.end();) {
    ModbusDevice* device = it->second;
    if (device == nullptr) {
      it = devices_.erase(it);
      continue;
    }
    if (!isUnused(device)) {
      ++it;
      continue;
    }
    VELK_LOGF(log_, kLogInfo, "Modbus device {} has no signals anymore. It will be delete.",
              it->first);
    device->close();
    it = devices_.erase(it);
    delete device;
  }
  pass_devices_.clear();
  for (const auto& entry : devices_) pass_devices_.push_back(entry.second);
}

bool ModbusWrapperImpl::isUnused(ModbusDevice* device) const {
  // A reserved device has just been handed to an operation that is about to
  // attach a signal or queue a request on it.
  return reservations_.count(device) == 0 && !device->hasSignals() && !device->hasRawRequests();
}

void ModbusWrapperImpl::serviceDevice(ModbusDevice* device, double elapsed) const {
  if (device->isConnected()) {
    device->checkErrSignalsAddedToGroup(elapsed);
    device->readAllSignals(elapsed);
    device->checkIfRegroupNeeded();
    device->writeAllSignals(elapsed);
  } else {
    device->setDebugMode(debug_);
    device->reconnect();
  }
}

void ModbusWrapperImpl::sleepUntilDue(std::chrono::steady_clock::time_point begun, double due) {
  // Until the next read falls due, a new output or request is queued, or the
  // registry is released; never less than a moment, so that a device always
  // due cannot turn the loop into a spin.
  const auto wake_at = begun + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                   std::chrono::duration<double>(due));
  const auto earliest = std::chrono::steady_clock::now() + kShortestSleep;
  std::unique_lock<std::mutex> lock(wake_mutex_);
  wake_.wait_until(lock, std::max(wake_at, earliest), [this] { return wake_requested_; });
  wake_requested_ = false;
}

void ModbusWrapperImpl::wakePollThread() {
  {
    std::lock_guard<std::mutex> lock(wake_mutex_);
    wake_requested_ = true;
  }
  wake_.notify_one();
}

}  // namespace velk::zorv_control
