#include "communication/modbus_dev/modbus_device.h"

#include <algorithm>
#include <array>
#include <climits>
#include <utility>

#include "common/co_aware_lock_guard.h"
#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_dev/fastest_first_pass.h"
#include "communication/modbus_dev/libmodbus_link.h"
#include "communication/modbus_dev/modbus_result.h"
#include "communication/modbus_dev/waiting_caller.h"

namespace velk::zorv_control {

namespace {

// The elapsed time handed in is nominal, so countdowns are compared with a
// small threshold rather than 0 to absorb the rounding of repeated subtraction.
constexpr double kDueThreshold = 1e-6;
constexpr double kRetryPeriod = 0.1;
constexpr int kHighestAddress = 0xFFFF;
// The longest the poll thread is told to wait for a device.
constexpr double kLongestWait = 1.0;

ModbusDevice::Clock orSteadyClock(ModbusDevice::Clock clock) {
  if (clock) return clock;
  return [] { return std::chrono::steady_clock::now(); };
}

double secondsOf(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double periodOf(const ModbusSignal& signal) {
  const int frequency = signal.update_frequency.load();
  return frequency > 0 ? 1.0 / frequency : kRetryPeriod;
}

bool hasProtocolAddress(int address) { return address >= 0 && address <= kHighestAddress; }

bool isWritable(AddressType type) {
  return type == AddressType::Coil || type == AddressType::HoldingRegister;
}

}  // namespace

ModbusDevice::ModbusDevice()
    : link_(std::make_unique<LibmodbusLink>(LogCallback{}, LinkSettings{})),
      clock_(orSteadyClock({})) {}

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

ModbusDevice::ModbusDevice(LogCallback log, std::unique_ptr<ModbusLink> link, Clock clock)
    : log_(std::move(log)), link_(std::move(link)), clock_(orSteadyClock(std::move(clock))) {}

ModbusDevice::~ModbusDevice() { close(); }

bool ModbusDevice::isConnected() const { return link_->isConnected(); }

bool ModbusDevice::hasSignals() const {
  common::CoAwareLockGuard lock(signal_mutex_);
  return !signals_.empty();
}

bool ModbusDevice::hasRawRequests() const { return !raw_requests_.empty(); }

std::string ModbusDevice::getIP() const { return link_->settings().host; }

int ModbusDevice::getPort() const { return link_->settings().port; }

void ModbusDevice::setDebugMode(bool debug) { link_->setDebugMode(debug); }

// ------------------------------------------------ handed through to the link

int ModbusDevice::connect() {
  forgetSlave();
  return link_->connect();
}

int ModbusDevice::reconnect() {
  forgetSlave();
  return link_->reconnect();
}

void ModbusDevice::forgetSlave() {
  std::lock_guard<std::mutex> groups(group_mutex_);
  refused_.clear();
  pace_.forget();
}

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
  return exchange([&] { return link_->readBits(addr, nb, dest); });
}

int ModbusDevice::readInputBits(int addr, int nb, uint8_t* dest) {
  return exchange([&] { return link_->readInputBits(addr, nb, dest); });
}

int ModbusDevice::readRegisters(int addr, int nb, uint16_t* dest) {
  return exchange([&] { return link_->readRegisters(addr, nb, dest); });
}

int ModbusDevice::readInputRegisters(int addr, int nb, uint16_t* dest) {
  return exchange([&] { return link_->readInputRegisters(addr, nb, dest); });
}

int ModbusDevice::writeBit(int addr, int value) {
  return exchange([&] { return link_->writeBit(addr, value); });
}

int ModbusDevice::writeRegister(int addr, int value) {
  return exchange([&] { return link_->writeRegister(addr, value); });
}

int ModbusDevice::sendRawRequest(const uint8_t* request, int length) {
  return exchange([&] { return link_->sendRawRequest(request, length); });
}

// ------------------------------------------------------------ the line's pace

template <typename Call>
int ModbusDevice::exchange(const Call& call) {
  const auto start = clock_();
  const int result = call();
  noteAnswer(result, clock_() - start);
  return result;
}

void ModbusDevice::noteAnswer(int result, std::chrono::steady_clock::duration took) {
  const SilenceWatch::Reply reply = silence_.noteReply(result, took);
  last_reply_cut_off_ = reply == SilenceWatch::Reply::CutOff;
  // A reply cut off took its time on the line too.
  if (reply == SilenceWatch::Reply::Answered || last_reply_cut_off_) {
    pace_.noteTransaction(secondsOf(took));
  }
}

double ModbusDevice::secondsUntilDue() const {
  std::lock_guard<std::mutex> groups(group_mutex_);
  double due = groups_.earliestDue(kLongestWait);
  std::lock_guard<std::mutex> signals(signal_mutex_);
  for (const auto& entry : signals_) {
    const ModbusSignal& signal = *entry.second;
    if (signal.error_state.load() != 0) {
      due = std::min(due, retry_countdown_);
    } else if (signal.outputPending()) {
      due = std::min(due, signal.write_hold);
    }
  }
  return std::max(due, 0.0);
}

int ModbusDevice::checkErrno() { return link_->checkErrno(); }

// ------------------------------------------------------------- raw requests

int ModbusDevice::addRawRequest(const std::vector<uint8_t>& request) {
  raw_requests_.push(request);
  return 0;
}

void ModbusDevice::sendQueuedRawRequests() {
  raw_requests_.sendQueued([this](const std::vector<uint8_t>& request) {
    const int length = static_cast<int>(std::min<std::size_t>(request.size(), INT_MAX));
    sendRawRequest(request.data(), length);
    // Sending the rest into a dead link would only lose them, and into a
    // silent one only wait; they go out after the reconnect or next pass.
    return link_->isConnected() && !silence_.passTimedOut();
  });
}

// ------------------------------------------------------------------- writes

int ModbusDevice::writeAllSignals(double elapsed) {
  if (!link_->isConnected()) {
    markAllSignals(kModbusNotConnected);
    return kModbusNoContext;
  }
  sendQueuedRawRequests();
  if (registryWaiting()) {
    silence_.endPass();
    return 0;
  }
  std::lock_guard<std::mutex> lock(signal_mutex_);
  for (auto& [name, signal] : signals_) {
    if (signal->write_hold > 0.0) signal->write_hold -= elapsed;
    if (!signal->outputPending() || signal->error_state.load() != 0) continue;
    if (signal->write_hold >= kDueThreshold || silence_.passTimedOut()) continue;
    writeSingle(name, *signal);
  }
  // The last pass of a round: the next round may talk to the slave again.
  silence_.endPass();
  return 0;
}

void ModbusDevice::writeSingle(const std::string& name, ModbusSignal& signal) {
  const AddressType type = signal.type.load();
  const int address = signal.address.load();
  // An output goes out at most once per period of its signal: the read of
  // its group confirms it meanwhile, and a value set again and again (a
  // light that flaps) costs no more than that.
  signal.write_hold = periodOf(signal);
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
    // Paused by its error state instead, until a probe lets it back.
    signal.write_hold = 0.0;
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
  const WaitingCaller waiting(registry_waiting_);
  common::CoAwareLockGuard groups(group_mutex_);
  common::CoAwareLockGuard signals(signal_mutex_);
  signals_[signal->name] = signal;
  // One added in error is sorted in by a probe, which passes over an address
  // outside the protocol's: that is refused here, whatever the error state.
  if (signal->error_state.load() == 0 || !hasProtocolAddress(signal->address.load())) {
    sortIn(signal->name, *signal);
  }
  return 0;
}

int ModbusDevice::deleteSignal(const std::string& name) {
  const WaitingCaller waiting(registry_waiting_);
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
  const WaitingCaller waiting(registry_waiting_);
  common::CoAwareLockGuard groups(group_mutex_);
  groups_.clear();
  common::CoAwareLockGuard signals(signal_mutex_);
  // Fastest first, in name order within a frequency: a slower signal that a
  // faster run already covers then finds it there, whatever its name.
  std::vector<std::pair<const std::string*, ModbusSignal*>> healthy;
  for (auto& [name, signal] : signals_) {
    if (signal->error_state.load() == 0) healthy.emplace_back(&name, signal);
  }
  std::stable_sort(healthy.begin(), healthy.end(), [](const auto& a, const auto& b) {
    return a.second->update_frequency.load() > b.second->update_frequency.load();
  });
  for (const auto& [name, signal] : healthy) sortIn(*name, *signal);
  return 0;
}

int ModbusDevice::checkIfRegroupNeeded() {
  if (regroup_.exchange(false)) refreshSignalsGroup();
  return 0;
}

void ModbusDevice::sortIn(const std::string& name, ModbusSignal& signal) {
  const AddressType type = signal.type.load();
  int limit = 0;
  GroupMap* groups = groups_.mapFor(type, &limit);
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
  GroupTable::add(groups, a, frequency, type, limit);
}

void ModbusDevice::groupReset(GroupMap& groups) { groups.clear(); }

// -------------------------------------------------------------------- reads

int ModbusDevice::readAllSignals(double elapsed) {
  if (!link_->isConnected()) {
    markAllSignals(kModbusBadValueOrReply);
    return kModbusNoContext;
  }
  if (registryWaiting()) return 0;
  std::lock_guard<std::mutex> groups(group_mutex_);
  FastestFirstPass pass(fastestFrequency(), clock_);
  defer_slower_reads_ = false;
  for (int frequency = pass.fastest(); frequency > 0;
       frequency = groups_.nextFrequency(frequency)) {
    // The groups of one frequency, the longest overdue first: when only some
    // of them fit into a pass, the others take their turn in the next.
    const GroupTable::GroupsOfFrequency due = groups_.ofFrequency(frequency);
    for (std::size_t i = 0; i < due.count; ++i) {
      const double fastest_due = groups_.countdownOf(pass.fastest(), kLongestWait);
      if (pass.defersSlower(frequency, fastest_due, pace_.transactionSeconds())) {
        defer_slower_reads_ = true;
      }
      const bool read = readGroupOf(due.groups[i].second, *due.groups[i].first, frequency, elapsed);
      if (pass.noteRead(frequency, read)) {
        pace_.noteFastestRead(frequency, clock_(), silence_.silent());
      }
    }
  }
  return 0;
}

bool ModbusDevice::readGroupOf(int space, Group& group, int frequency, double elapsed) {
  switch (space) {
    case 0:
      return readGroup<uint8_t, kBitGroupLimit>(
          group, frequency, [this](int a, int n, uint8_t* d) { return readBits(a, n, d); },
          elapsed);
    case 1:
      return readGroup<uint8_t, kBitGroupLimit>(
          group, frequency, [this](int a, int n, uint8_t* d) { return readInputBits(a, n, d); },
          elapsed);
    case 2:
      return readGroup<uint16_t, kRegisterGroupLimit>(
          group, frequency, [this](int a, int n, uint16_t* d) { return readRegisters(a, n, d); },
          elapsed);
    default:
      return readGroup<uint16_t, kRegisterGroupLimit>(
          group, frequency,
          [this](int a, int n, uint16_t* d) { return readInputRegisters(a, n, d); }, elapsed);
  }
}

bool ModbusDevice::registryWaiting() const {
  // A registry call waiting for the locks (attach, detach, regroup) would
  // otherwise find them free only between two passes, and on a line kept
  // busy by its rates hardly ever: this pass leaves its reads, probes and
  // writes to the next one instead, so the call waits for one request at
  // most.
  return registry_waiting_.load() > 0;
}

int ModbusDevice::fastestFrequency() const { return groups_.fastestFrequency(); }

template <typename T, std::size_t N>
int ModbusDevice::readGroups(GroupMap& groups, std::function<int(int, int, T*)> read,
                             double elapsed) {
  if (!read) return kModbusNoContext;
  for (auto& [frequency, group] : groups) readGroup<T, N>(group, frequency, read, elapsed);
  return 0;
}

template <typename T, std::size_t N>
bool ModbusDevice::readGroup(Group& group, int frequency,
                             const std::function<int(int, int, T*)>& read, double elapsed) {
  group.countdown -= elapsed;
  if (group.countdown >= kDueThreshold || silence_.passTimedOut() || defer_slower_reads_)
    return false;
  // Due at fixed times: a late read does not push the next one back, but a
  // group more than a period behind is read once and starts afresh, with
  // no burst of reads to catch up.
  const double period = 1.0 / frequency;
  group.countdown += period;
  if (group.countdown < kDueThreshold) group.countdown = period;
  std::array<T, N> buffer{};
  const int count = group.end - group.start + 1;
  // A run longer than the buffer can only come from a caller's own map
  // built with a larger limit; reading it would overrun the buffer.
  int result = kModbusTooManyData;
  if (count <= static_cast<int>(N)) {
    RefusedRanges::Range* refused = refused_.over(group.type, group.start, group.end);
    if (refused != nullptr && readsAlone(*refused)) {
      readPieces<T>(group, *refused, read, buffer.data());
      return true;
    }
    result = readRun<T>(group, read, buffer.data());
    if (result == kModbusIllegalAddress && count > 1)
      refused_.note(group.type, group.start, group.end);
  }
  // The reply's arrival, as near as the poll thread knows it.
  const auto read_at = clock_();
  std::lock_guard<std::mutex> signals(signal_mutex_);
  distribute<T>(group, result, read, buffer.data(), read_at);
  return true;
}

template <typename T>
int ModbusDevice::readRun(const Group& run, const std::function<int(int, int, T*)>& read,
                          T* buffer) {
  const int count = run.end - run.start + 1;
  int result = read(run.start, count, buffer);
  // A damaged reply (a bad reply with the link in doubt; without that, 3 is
  // the exception illegal data value; a reply cut off counts as damaged)
  // is tried once more before the whole run goes into error to be probed
  // signal by signal: a damaged frame is rarely followed by another, and one
  // request is cheaper than a probe per signal. An exception is the slave's
  // considered answer, a lost connection is gone, and a time-out tried again
  // would hold the poll thread for a second response time-out when the
  // slave has gone quiet: none of them is tried again.
  const bool damaged = result == kModbusBadValueOrReply && link_->lastReplyInDoubt();
  if (damaged || last_reply_cut_off_) result = read(run.start, count, buffer);
  return result;
}

bool ModbusDevice::readsAlone(const RefusedRanges::Range& refused) const {
  // Only when every signal of the refused run has come back through its
  // probe is it the run's gaps that the slave refuses. While one still fails
  // alone, it is that signal's address, and its run is left as it is.
  std::lock_guard<std::mutex> signals(signal_mutex_);
  return std::none_of(signals_.begin(), signals_.end(), [&](const auto& entry) {
    const ModbusSignal& signal = *entry.second;
    const int address = signal.address.load();
    return signal.type.load() == refused.type && address >= refused.start &&
           address <= refused.end && signal.error_state.load() != 0;
  });
}

std::vector<int> ModbusDevice::healthyAddressesIn(const Group& group) const {
  std::vector<int> addresses;
  std::lock_guard<std::mutex> signals(signal_mutex_);
  for (const auto& entry : signals_) {
    const ModbusSignal& signal = *entry.second;
    const int address = signal.address.load();
    if (signal.type.load() == group.type && signal.error_state.load() == 0 &&
        address >= group.start && address <= group.end) {
      addresses.push_back(address);
    }
  }
  return addresses;
}

template <typename T>
void ModbusDevice::readPieces(const Group& group, RefusedRanges::Range& refused,
                              const std::function<int(int, int, T*)>& read, T* buffer) {
  const auto pieces = refused_.piecesOf(group.type, healthyAddressesIn(group));
  refused_.announce(refused, pieces);
  for (const RefusedRanges::Piece& piece : pieces) {
    if (silence_.passTimedOut()) break;
    const Group run{static_cast<uint16_t>(piece.start), static_cast<uint16_t>(piece.end),
                    group.countdown, group.type};
    T* const part = buffer + (piece.start - group.start);
    const int result = readRun<T>(run, read, part);
    if (result == kModbusIllegalAddress && piece.end > piece.start) {
      refused_.note(run.type, run.start, run.end);
    }
    const auto read_at = clock_();
    std::lock_guard<std::mutex> signals(signal_mutex_);
    distribute<T>(run, result, read, part, read_at);
  }
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
  // The first pass of a round: a time-out of the round before is over.
  silence_.endPass();
  const double remaining = retry_countdown_ - elapsed;
  if (remaining >= kDueThreshold || registryWaiting()) {
    retry_countdown_ = remaining;
    return 0;
  }
  retry_countdown_ = kRetryPeriod;
  // The group lock too, although only this thread reads the groups besides
  // callers that take both: it keeps every change of a group map under it.
  std::lock_guard<std::mutex> groups(group_mutex_);
  std::lock_guard<std::mutex> signals(signal_mutex_);
  for (auto& [name, signal] : signals_) {
    // A probe that timed out says the slave is silent, not the signal: the
    // next round tries again.
    if (silence_.passTimedOut()) break;
    if (signal->error_state.load() != 0) probe(name, *signal);
  }
  return 0;
}

void ModbusDevice::probe(const std::string& name, ModbusSignal& signal) {
  const AddressType type = signal.type.load();
  const int address = signal.address.load();
  // Refused, and said so, when it was added.
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
