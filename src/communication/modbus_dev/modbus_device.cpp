#include "communication/modbus_dev/modbus_device.h"

#include <array>
#include <climits>
#include <utility>

#include "common/co_aware_lock_guard.h"
#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_dev/libmodbus_link.h"
#include "communication/modbus_dev/modbus_result.h"

namespace velk::zorv_control {

namespace {

// The elapsed time handed in is nominal, so countdowns are compared with a
// small threshold rather than 0 to absorb the rounding of repeated subtraction.
constexpr double kDueThreshold = 1e-6;
constexpr double kRetryPeriod = 0.1;
constexpr int kHighestAddress = 0xFFFF;

bool hasProtocolAddress(int address) { return address >= 0 && address <= kHighestAddress; }

bool isWritable(AddressType type) {
  return type == AddressType::Coil || type == AddressType::HoldingRegister;
}

// Whether a group of a higher frequency than `frequency` already reads
// address a.
//
// Groups of other frequencies are examined this way, all of them, and no
// other way:
//  - a slower group never takes a signal: it would read it less often than
//    asked (a stick axis at 50 Hz would come at 10 Hz);
//  - no group grows for a signal of another frequency: a faster group would
//    read the signal, and the gap up to it, more often than needed, and a
//    slower one too rarely; the signal's own group takes it instead, so the
//    fast and the slow signals each come in one request at their own rate;
//  - a faster group whose run already holds the address serves the signal
//    at no cost (a group read hands its values to every signal in its run);
//    a place in the signal's own group would only read the address a second
//    time in the passes where both groups are due.
bool coveredByFasterGroup(const ModbusDevice::GroupMap& groups, int frequency, int a) {
  for (auto it = groups.upper_bound(frequency); it != groups.end(); ++it) {
    if (it->second.start <= a && a <= it->second.end) return true;
  }
  return false;
}

}  // namespace

ModbusDevice::ModbusDevice()
    : link_(std::make_unique<LibmodbusLink>(LogCallback{}, LinkSettings{})) {}

ModbusDevice::ModbusDevice(LogCallback log, const std::string& host, int port, int slave,
                           int response_timeout_ms)
    : ModbusDevice(log, std::make_unique<LibmodbusLink>(
                            log, LinkSettings::overTcp(host, port, slave, response_timeout_ms))) {}

ModbusDevice::ModbusDevice(LogCallback log, const std::string& serial_path, int baud, char parity,
                           int data_bits, int stop_bits, int slave, int response_timeout_ms)
    : ModbusDevice(log,
                   std::make_unique<LibmodbusLink>(
                       log, LinkSettings::overSerialLine(serial_path, baud, parity, data_bits,
                                                         stop_bits, slave, response_timeout_ms))) {}

ModbusDevice::ModbusDevice(LogCallback log, std::unique_ptr<ModbusLink> link)
    : log_(std::move(log)), link_(std::move(link)) {}

ModbusDevice::~ModbusDevice() { close(); }

bool ModbusDevice::isConnected() const { return link_->isConnected(); }

bool ModbusDevice::hasSignals() const {
  common::CoAwareLockGuard lock(signal_mutex_);
  return !signals_.empty();
}

bool ModbusDevice::hasRawRequests() const {
  std::lock_guard<std::mutex> lock(raw_mutex_);
  return !raw_requests_.empty();
}

std::string ModbusDevice::getIP() const { return link_->settings().host; }

int ModbusDevice::getPort() const { return link_->settings().port; }

void ModbusDevice::setDebugMode(bool debug) { link_->setDebugMode(debug); }

// ------------------------------------------------ handed through to the link

int ModbusDevice::connect() { return link_->connect(); }

int ModbusDevice::reconnect() { return link_->reconnect(); }

void ModbusDevice::close() { link_->close(); }

int ModbusDevice::connectTcp(const char* host, int port, int slave, int response_timeout_ms) {
  return link_->connectTcp(host, port, slave, response_timeout_ms);
}

int ModbusDevice::connectRtu(const char* serial_path, int baud, char parity, int data_bits,
                             int stop_bits, int slave, int response_timeout_ms) {
  return link_->connectRtu(serial_path, baud, parity, data_bits, stop_bits, slave,
                           response_timeout_ms);
}

std::string ModbusDevice::connectionProblem() const { return link_->connectionProblem(); }

int ModbusDevice::readBits(int addr, int nb, uint8_t* dest) {
  return link_->readBits(addr, nb, dest);
}

int ModbusDevice::readInputBits(int addr, int nb, uint8_t* dest) {
  return link_->readInputBits(addr, nb, dest);
}

int ModbusDevice::readRegisters(int addr, int nb, uint16_t* dest) {
  return link_->readRegisters(addr, nb, dest);
}

int ModbusDevice::readInputRegisters(int addr, int nb, uint16_t* dest) {
  return link_->readInputRegisters(addr, nb, dest);
}

int ModbusDevice::writeBit(int addr, int value) { return link_->writeBit(addr, value); }

int ModbusDevice::writeRegister(int addr, int value) { return link_->writeRegister(addr, value); }

int ModbusDevice::sendRawRequest(const uint8_t* request, int length) {
  return link_->sendRawRequest(request, length);
}

int ModbusDevice::checkErrno() { return link_->checkErrno(); }

// ------------------------------------------------------------- raw requests

int ModbusDevice::addRawRequest(const std::vector<uint8_t>& request) {
  common::CoAwareLockGuard lock(raw_mutex_);
  raw_requests_.push_back(request);
  return 0;
}

bool ModbusDevice::popRawRequest(std::vector<uint8_t>& request) {
  std::lock_guard<std::mutex> lock(raw_mutex_);
  if (raw_requests_.empty()) return false;
  request = std::move(raw_requests_.front());
  raw_requests_.pop_front();
  return true;
}

std::size_t ModbusDevice::rawRequestCount() const {
  std::lock_guard<std::mutex> lock(raw_mutex_);
  return raw_requests_.size();
}

void ModbusDevice::sendQueuedRawRequests() {
  // Only what is queued now: a caller that keeps queueing cannot hold the
  // poll thread here.
  std::size_t budget = rawRequestCount();
  std::vector<uint8_t> request;
  while (budget-- > 0 && popRawRequest(request)) {
    const int length = static_cast<int>(std::min<std::size_t>(request.size(), INT_MAX));
    sendRawRequest(request.data(), length);
    // Sending the rest into a dead link would only lose them; they go out
    // after the reconnect instead.
    if (!link_->isConnected()) break;
  }
}

// ------------------------------------------------------------------- writes

int ModbusDevice::writeAllSignals(double /*elapsed*/) {
  if (!link_->isConnected()) {
    markAllSignals(kModbusNotConnected);
    return kModbusNoContext;
  }
  sendQueuedRawRequests();
  std::lock_guard<std::mutex> lock(signal_mutex_);
  for (auto& [name, signal] : signals_) {
    if (!signal->outputPending() || signal->error_state.load() != 0) continue;
    writeSingle(name, *signal);
  }
  return 0;
}

void ModbusDevice::writeSingle(const std::string& name, ModbusSignal& signal) {
  const AddressType type = signal.type.load();
  const int address = signal.address.load();
  if (!isWritable(type)) {
    VELK_LOGF(log_, kLogError, "Unknown modbus address type({}) when set {} output ",
              static_cast<int>(type), name);
    return;
  }
  if (!hasProtocolAddress(address)) {
    refuseAddress(name, signal);
    return;
  }
  const int value = signal.outputValue();
  const int result =
      type == AddressType::Coil ? writeBit(address, value) : writeRegister(address, value);
  if (result != 0) {
    VELK_LOGF(log_, kLogError, "Set Modbus signal {} result failed, ret:{} ", name, result);
  }
  signal.error_state = result;
}

void ModbusDevice::markAllSignals(int32_t error_state) {
  std::lock_guard<std::mutex> lock(signal_mutex_);
  for (auto& entry : signals_) entry.second->error_state = error_state;
}

// ------------------------------------------------------- signals and groups

int ModbusDevice::addSignal(ModbusSignal* signal) {
  if (signal == nullptr) return kModbusNoContext;
  common::CoAwareLockGuard groups(group_mutex_);
  common::CoAwareLockGuard signals(signal_mutex_);
  signals_[signal->name] = signal;
  if (signal->error_state.load() == 0) sortIn(signal->name, *signal);
  return 0;
}

int ModbusDevice::deleteSignal(const std::string& name) {
  {
    common::CoAwareLockGuard signals(signal_mutex_);
    if (signals_.erase(name) == 0) return kModbusNoContext;
  }
  return refreshSignalsGroup();
}

int ModbusDevice::updateSignalFrequency(ModbusSignal* signal) {
  if (signal == nullptr) return kModbusNoContext;
  return refreshSignalsGroup();
}

int ModbusDevice::refreshSignalsGroup() {
  common::CoAwareLockGuard groups(group_mutex_);
  groupReset(coil_groups_);
  groupReset(discrete_input_groups_);
  groupReset(holding_register_groups_);
  groupReset(input_register_groups_);
  common::CoAwareLockGuard signals(signal_mutex_);
  // Fastest first, in name order within a frequency: a slower signal that a
  // faster run already covers then finds it there, whatever its name.
  for (int frequency = nextLowerFrequency(INT_MAX); frequency > 0;
       frequency = nextLowerFrequency(frequency)) {
    for (auto& [name, signal] : signals_) {
      if (signal->error_state.load() == 0 && signal->update_frequency.load() == frequency) {
        sortIn(name, *signal);
      }
    }
  }
  return 0;
}

int ModbusDevice::nextLowerFrequency(int below) const {
  int next = 0;
  for (const auto& entry : signals_) {
    const int frequency = entry.second->update_frequency.load();
    if (entry.second->error_state.load() == 0 && frequency < below && frequency > next) {
      next = frequency;
    }
  }
  return next;
}

int ModbusDevice::checkIfRegroupNeeded() {
  if (regroup_.exchange(false)) refreshSignalsGroup();
  return 0;
}

ModbusDevice::GroupMap* ModbusDevice::groupsFor(AddressType type, int* limit) {
  switch (type) {
    case AddressType::Coil:
      *limit = kBitGroupLimit;
      return &coil_groups_;
    case AddressType::DiscreteInput:
      *limit = kBitGroupLimit;
      return &discrete_input_groups_;
    case AddressType::InputRegister:
      *limit = kRegisterGroupLimit;
      return &input_register_groups_;
    case AddressType::HoldingRegister:
      *limit = kRegisterGroupLimit;
      return &holding_register_groups_;
  }
  return nullptr;
}

void ModbusDevice::sortIn(const std::string& name, ModbusSignal& signal) {
  const AddressType type = signal.type.load();
  int limit = 0;
  GroupMap* groups = groupsFor(type, &limit);
  if (groups == nullptr) return;
  if (!hasProtocolAddress(signal.address.load())) {
    refuseAddress(name, signal);
    return;
  }
  groupSignal(*groups, &signal, type, limit);
}

void ModbusDevice::refuseAddress(const std::string& name, ModbusSignal& signal) {
  // libmodbus would send only the low 16 bits: another address than meant.
  VELK_LOGF(log_, kLogError,
            "Modbus signal {} address {} is outside 0..65535; it is neither read nor written ",
            name, signal.address.load());
  signal.error_state = kModbusIllegalAddress;
}

void ModbusDevice::groupSignal(GroupMap& groups, ModbusSignal* signal, AddressType type,
                               int limit) {
  if (signal == nullptr) return;
  const int a = signal->address.load();
  const int frequency = signal->update_frequency.load();
  // A run may only hold protocol addresses, and a group needs a period.
  if (!hasProtocolAddress(a) || frequency <= 0) return;
  if (coveredByFasterGroup(groups, frequency, a)) return;
  auto found = groups.find(frequency);
  if (found == groups.end()) {
    const auto address = static_cast<uint16_t>(a);
    groups.emplace(frequency, Group{address, address, 1.0 / frequency, type});
    return;
  }
  Group& group = found->second;
  if (group.start > a && group.end - a + 1 < limit) {
    group.start = static_cast<uint16_t>(a);
  } else if (group.end < a && a - group.start + 1 < limit) {
    group.end = static_cast<uint16_t>(a);
  }
}

void ModbusDevice::groupReset(GroupMap& groups) { groups.clear(); }

// -------------------------------------------------------------------- reads

int ModbusDevice::readAllSignals(double elapsed) {
  if (!link_->isConnected()) {
    markAllSignals(kModbusBadValueOrReply);
    return kModbusNoContext;
  }
  std::lock_guard<std::mutex> groups(group_mutex_);
  readGroups<uint8_t, kBitGroupLimit>(
      coil_groups_, [this](int a, int n, uint8_t* d) { return readBits(a, n, d); }, elapsed);
  readGroups<uint8_t, kBitGroupLimit>(
      discrete_input_groups_, [this](int a, int n, uint8_t* d) { return readInputBits(a, n, d); },
      elapsed);
  readGroups<uint16_t, kRegisterGroupLimit>(
      holding_register_groups_,
      [this](int a, int n, uint16_t* d) { return readRegisters(a, n, d); }, elapsed);
  readGroups<uint16_t, kRegisterGroupLimit>(
      input_register_groups_,
      [this](int a, int n, uint16_t* d) { return readInputRegisters(a, n, d); }, elapsed);
  return 0;
}

template <typename T, std::size_t N>
int ModbusDevice::readGroups(GroupMap& groups, std::function<int(int, int, T*)> read,
                             double elapsed) {
  if (!read) return kModbusNoContext;
  for (auto& [frequency, group] : groups) {
    group.countdown -= elapsed;
    if (group.countdown >= kDueThreshold) continue;
    std::array<T, N> buffer{};
    const int count = group.end - group.start + 1;
    // A run longer than the buffer can only come from a caller's own map
    // built with a larger limit; reading it would overrun the buffer.
    int result = kModbusTooManyData;
    if (count <= static_cast<int>(N)) {
      result = read(group.start, count, buffer.data());
      // A damaged reply (a bad reply with the link in doubt; without that,
      // 3 is the exception illegal data value) is tried once more before the
      // whole run goes into error to be probed signal by signal: a damaged
      // frame is rarely followed by another, and one request is cheaper than
      // a probe per signal. An exception is the slave's considered answer, a
      // lost connection is gone, and a time-out tried again would hold the
      // poll thread for a second response time-out when the slave has gone
      // quiet: none of them is tried again.
      if (result == kModbusBadValueOrReply && link_->lastReplyInDoubt()) {
        result = read(group.start, count, buffer.data());
      }
    }
    // The reply's arrival, as near as the poll thread knows it.
    const auto read_at = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> signals(signal_mutex_);
    distribute<T>(group, result, read, buffer.data(), read_at);
    group.countdown = 1.0 / frequency;
  }
  return 0;
}

template <typename T>
void ModbusDevice::distribute(const Group& group, int result,
                              const std::function<int(int, int, T*)>& read, T* buffer,
                              std::chrono::steady_clock::time_point read_at) {
  for (auto& entry : signals_) {
    ModbusSignal& signal = *entry.second;
    const int address = signal.address.load();
    if (signal.type.load() != group.type || address < group.start || address > group.end) {
      continue;
    }
    // More data than asked for spoils the whole reply; each address is then
    // read alone, so that only the addresses really at fault go into error.
    T element = result == 0 ? buffer[address - group.start] : T{};
    const int outcome = result == kModbusTooManyData ? read(address, 1, &element) : result;
    if (outcome == 0) {
      const auto value = static_cast<uint16_t>(element);
      signal.value = value;
      signal.stampRead(read_at);
      signal.confirmOutput(value);
      signal.error_state = 0;
    } else {
      signal.error_state = outcome;
      regroup_ = true;
    }
  }
}

template int ModbusDevice::readGroups<uint8_t, ModbusDevice::kBitGroupLimit>(
    GroupMap&, std::function<int(int, int, uint8_t*)>, double);
template int ModbusDevice::readGroups<uint16_t, ModbusDevice::kRegisterGroupLimit>(
    GroupMap&, std::function<int(int, int, uint16_t*)>, double);

int ModbusDevice::checkErrSignalsAddedToGroup(double elapsed) {
  const double remaining = retry_countdown_ - elapsed;
  if (remaining >= kDueThreshold) {
    retry_countdown_ = remaining;
    return 0;
  }
  retry_countdown_ = kRetryPeriod;
  // The group lock too, although only this thread reads the groups besides
  // callers that take both: it keeps every change of a group map under it.
  std::lock_guard<std::mutex> groups(group_mutex_);
  std::lock_guard<std::mutex> signals(signal_mutex_);
  for (auto& [name, signal] : signals_) {
    if (signal->error_state.load() != 0) probe(name, *signal);
  }
  return 0;
}

void ModbusDevice::probe(const std::string& name, ModbusSignal& signal) {
  const AddressType type = signal.type.load();
  const int address = signal.address.load();
  if (!hasProtocolAddress(address)) return;
  uint8_t bit = 0;
  uint16_t word = 0;
  int result = 0;
  switch (type) {
    case AddressType::Coil:
      result = readBits(address, 1, &bit);
      break;
    case AddressType::DiscreteInput:
      result = readInputBits(address, 1, &bit);
      break;
    case AddressType::InputRegister:
      result = readInputRegisters(address, 1, &word);
      break;
    case AddressType::HoldingRegister:
      result = readRegisters(address, 1, &word);
      break;
    default:
      return;
  }
  signal.error_state = result;
  if (result == 0) sortIn(name, signal);
}

}  // namespace velk::zorv_control
