#include "communication/modbus_dev/modbus_device.h"

#include <modbus/modbus.h>
#include <poll.h>

#include <array>
#include <cerrno>
#include <climits>
#include <utility>

#include "common/co_aware_lock_guard.h"
#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_dev/modbus_result.h"

namespace velk::zorv_control {

namespace {

// The elapsed time handed in is nominal, so countdowns are compared with a
// small threshold rather than 0 to absorb the rounding of repeated subtraction.
constexpr double kDueThreshold = 1e-6;
constexpr double kRetryPeriod = 0.1;
constexpr int kHighestAddress = 0xFFFF;
// Unit, function code and the largest PDU data libmodbus accepts.
constexpr int kMinRawLength = 2;
constexpr int kMaxRawLength = MODBUS_MAX_PDU_LENGTH + 1;
// Draining a transport after a stale reply: how long it must stay quiet, and
// how many bursts are thrown away at most (a slave that never stops talking
// must not hold the poll thread). A slave with Nagle's algorithm on holds
// its next small reply until the previous one is acknowledged, and Linux
// delays that acknowledgement by up to 40 ms: the window must be longer.
constexpr int kQuietMs = 50;
constexpr int kMaxDrainRounds = 10;

// A reply came, but not a sound answer to the request: damaged on the line
// (check sum), from another unit, of another function, length or
// transaction, or an exception libmodbus cannot read (EMBUNKEXC is declared
// for that, though 3.1.6 never sets it). The link itself is fine, and a
// damaged frame says nothing about the next one.
bool isBadReply(int error) {
  switch (error) {
    case EMBBADDATA:
    case EMBBADCRC:
    case EMBBADSLAVE:
    case EMBBADEXC:
    case EMBUNKEXC:
      return true;
    default:
      return false;
  }
}

// libmodbus fails some calls without setting errno (a host that is not a
// numeric IPv4 address, for one); "Success" would be a strange reason.
std::string failureReason(int error) {
  if (error == 0) return "refused by libmodbus without a reason (is the host a numeric address?)";
  return modbus_strerror(error);
}

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

ModbusDevice::ModbusDevice() = default;

ModbusDevice::ModbusDevice(LogCallback log, const std::string& host, int port, int slave,
                           int response_timeout_ms)
    : log_(std::move(log)),
      tcp_(true),
      host_(host),
      port_(port),
      slave_(slave),
      response_timeout_ms_(response_timeout_ms) {}

ModbusDevice::ModbusDevice(LogCallback log, const std::string& serial_path, int baud, char parity,
                           int data_bits, int stop_bits, int slave, int response_timeout_ms)
    : log_(std::move(log)),
      serial_path_(serial_path),
      baud_(baud),
      parity_(parity),
      data_bits_(data_bits),
      stop_bits_(stop_bits),
      slave_(slave),
      response_timeout_ms_(response_timeout_ms) {}

ModbusDevice::~ModbusDevice() { close(); }

bool ModbusDevice::isConnected() const { return connected_.load(); }

bool ModbusDevice::hasSignals() const {
  common::CoAwareLockGuard lock(signal_mutex_);
  return !signals_.empty();
}

bool ModbusDevice::hasRawRequests() const {
  std::lock_guard<std::mutex> lock(raw_mutex_);
  return !raw_requests_.empty();
}

std::string ModbusDevice::getIP() const { return host_; }

int ModbusDevice::getPort() const { return port_; }

void ModbusDevice::setDebugMode(bool debug) { debug_.store(debug); }

// ---------------------------------------------------------------- connection

int ModbusDevice::connect() {
  const int result = tcp_ ? connectTcp(host_.c_str(), port_, slave_, response_timeout_ms_)
                          : connectRtu(serial_path_.c_str(), baud_, parity_, data_bits_, stop_bits_,
                                       slave_, response_timeout_ms_);
  if (result != 0) return result;
  logConnected();
  return 0;
}

void ModbusDevice::logConnected() {
  if (tcp_) {
    VELK_LOG(log_, kLogInfo) << "Connected to Modbus Slave " << host_ << ":" << port_
                             << " slave_number: " << slave_;
  } else {
    VELK_LOGF(log_, kLogInfo,
              "Connected to Modbus Slave {}:baud({}) parity({}) bits({}) stop_bit({}) "
              "slave_number: {}  ",
              serial_path_, baud_, parity_, data_bits_, stop_bits_, slave_);
  }
}

int ModbusDevice::reconnect() {
  if (reconnect_count_ > 100) {
    reconnect_count_ = 0;
    return connect();
  }
  ++reconnect_count_;
  return 0;
}

int ModbusDevice::connectTcp(const char* host, int port, int slave, int response_timeout_ms) {
  close();
  // libmodbus takes a null host as "any address", which a master must not dial.
  errno = host != nullptr ? 0 : EINVAL;
  modbus_t* context = host != nullptr ? modbus_new_tcp(host, port) : nullptr;
  if (context == nullptr) {
    failConnect("create modbus new tcp failed !", failureReason(errno));
    return kModbusNoContext;
  }
  return openContext(context, slave, response_timeout_ms);
}

int ModbusDevice::connectRtu(const char* serial_path, int baud, char parity, int data_bits,
                             int stop_bits, int slave, int response_timeout_ms) {
  close();
  errno = serial_path != nullptr ? 0 : EINVAL;
  modbus_t* context = serial_path != nullptr
                          ? modbus_new_rtu(serial_path, baud, parity, data_bits, stop_bits)
                          : nullptr;
  if (context == nullptr) {
    failConnect("create modbus new rtu failed !", failureReason(errno));
    return kModbusNoContext;
  }
  return openContext(context, slave, response_timeout_ms);
}

int ModbusDevice::openContext(modbus_t* context, int slave, int response_timeout_ms) {
  errno = 0;
  if (modbus_set_slave(context, slave) == -1) {
    const std::string reason =
        "slave number " + std::to_string(slave) + ": " + failureReason(errno);
    modbus_free(context);
    failConnect(nullptr, reason);
    return kModbusNoContext;
  }
  errno = 0;
  if (modbus_connect(context) == -1) {
    const std::string reason = failureReason(errno);
    modbus_free(context);
    connected_ = false;
    failConnect(nullptr, reason);
    return kModbusNoContext;
  }
  modbus_set_response_timeout(context, static_cast<uint32_t>(response_timeout_ms / 1000),
                              static_cast<uint32_t>((response_timeout_ms % 1000) * 1000));
  modbus_set_debug(context, debug_.load() ? 1 : 0);
  // Whatever the transport already holds belongs to an earlier exchange.
  modbus_flush(context);
  replies_stale_ = false;
  context_ = context;
  connected_ = true;
  setConnectionProblem("");
  return 0;
}

void ModbusDevice::failConnect(const char* creation_error, const std::string& reason) {
  // Attempts repeat about once a second; the same failure said each time
  // would bury everything else in the log. The connected message says when
  // it is over.
  if (connectionProblem() == reason) return;
  setConnectionProblem(reason);
  if (creation_error != nullptr) VELK_LOG(log_, kLogError) << creation_error;
  VELK_LOG(log_, kLogWarning) << "Cannot connect to Modbus slave " << deviceLabel() << ": "
                              << reason;
}

std::string ModbusDevice::deviceLabel() const {
  return tcp_ ? host_ + ":" + std::to_string(port_) : serial_path_;
}

std::string ModbusDevice::connectionProblem() const {
  std::lock_guard<std::mutex> lock(problem_mutex_);
  return connection_problem_;
}

void ModbusDevice::setConnectionProblem(const std::string& reason) {
  std::lock_guard<std::mutex> lock(problem_mutex_);
  connection_problem_ = reason;
}

void ModbusDevice::close() {
  if (context_ == nullptr) return;
  if (tcp_) {
    VELK_LOGF(log_, kLogInfo, "Modbus device {}:{} closed. ", host_, port_);
  } else {
    VELK_LOGF(log_, kLogInfo, "Modbus device {} closed. ", serial_path_);
  }
  modbus_close(context_);
  modbus_free(context_);
  context_ = nullptr;
  connected_ = false;
}

// ---------------------------------------------------------- single requests

int ModbusDevice::readBits(int addr, int nb, uint8_t* dest) {
  return runRead(nb, dest, [&] { return modbus_read_bits(context_, addr, nb, dest); });
}

int ModbusDevice::readInputBits(int addr, int nb, uint8_t* dest) {
  return runRead(nb, dest, [&] { return modbus_read_input_bits(context_, addr, nb, dest); });
}

int ModbusDevice::readRegisters(int addr, int nb, uint16_t* dest) {
  return runRead(nb, dest, [&] { return modbus_read_registers(context_, addr, nb, dest); });
}

int ModbusDevice::readInputRegisters(int addr, int nb, uint16_t* dest) {
  return runRead(nb, dest, [&] { return modbus_read_input_registers(context_, addr, nb, dest); });
}

int ModbusDevice::writeBit(int addr, int value) {
  return runWrite([&] { return modbus_write_bit(context_, addr, value != 0 ? 1 : 0); });
}

int ModbusDevice::writeRegister(int addr, int value) {
  return runWrite(
      [&] { return modbus_write_register(context_, addr, static_cast<uint16_t>(value)); });
}

template <typename Call>
int ModbusDevice::runRead(int nb, const void* dest, const Call& call) {
  if (context_ == nullptr) {
    VELK_LOG(log_, kLogError) << "modbus no init !";
    return kModbusNoContext;
  }
  if (nb <= 0) return 0;
  if (dest == nullptr) {
    VELK_LOGF(log_, kLogError, "Modbus read of {} items has no destination buffer ", nb);
    return kModbusNoContext;
  }
  return runConnected(call);
}

template <typename Call>
int ModbusDevice::runWrite(const Call& call) {
  if (context_ == nullptr) {
    VELK_LOG(log_, kLogError) << "modbus no init !";
    return kModbusNoContext;
  }
  return runConnected(call);
}

template <typename Call>
int ModbusDevice::runConnected(const Call& call) {
  if (!connected_) return kModbusNotConnected;
  if (replies_stale_) discardStaleReplies();
  if (call() != -1) return 0;
  return checkErrno();
}

void ModbusDevice::discardStaleReplies() {
  // libmodbus leaves a reply that came after its time-out where the next
  // request reads it as its own: over TCP every later transaction is then
  // one answer behind; on a serial line the value of another address is
  // taken. Throw away what has come and whatever is still arriving, until
  // the transport stays quiet for a moment.
  replies_stale_ = false;
  const int fd = modbus_get_socket(context_);
  for (int round = 0; round < kMaxDrainRounds; ++round) {
    modbus_flush(context_);
    if (fd < 0) return;
    pollfd waiting{fd, POLLIN, 0};
    if (::poll(&waiting, 1, kQuietMs) <= 0) return;
  }
}

int ModbusDevice::checkErrno() {
  const int error = errno;
  if (isBadReply(error)) {
    // The rest of the frame, or the real answer, may still be on its way.
    replies_stale_ = true;
    return kModbusBadValueOrReply;
  }
  switch (error) {
    case 0:
      return kModbusOk;
    case EMBXILFUN:
      return kModbusIllegalFunction;
    case EMBXILADD:
      return kModbusIllegalAddress;
    case EMBXILVAL:
      return kModbusBadValueOrReply;
    case EMBXSFAIL:
      return kModbusSlaveFailure;
    case EMBXACK:
      return kModbusAcknowledge;
    case EMBXSBUSY:
      return kModbusBusyOrTimeout;
    case ETIMEDOUT:
      replies_stale_ = true;
      return kModbusBusyOrTimeout;
    case EMBMDATA:
      return kModbusTooManyData;
    case EIO:
      connected_ = false;
      return kModbusNotConnected;
    default:
      VELK_LOGF(log_, kLogWarning, "Unkown errno({}): {}. Assume modbus unit disconnected", error,
                modbus_strerror(error));
      connected_ = false;
      return kModbusNotConnected;
  }
}

// ------------------------------------------------------------- raw requests

int ModbusDevice::addRawRequest(const std::vector<uint8_t>& request) {
  common::CoAwareLockGuard lock(raw_mutex_);
  raw_requests_.push_back(request);
  return 0;
}

int ModbusDevice::sendRawRequest(const uint8_t* request, int length) {
  if (context_ == nullptr) {
    VELK_LOG(log_, kLogError) << "modbus no init !";
    return kModbusNoContext;
  }
  // libmodbus would refuse these with EINVAL, which reads like a broken link;
  // a malformed request says nothing about the connection.
  if (request == nullptr || length < kMinRawLength || length > kMaxRawLength) {
    VELK_LOGF(log_, kLogError, "Raw Modbus request of {} bytes refused, it must hold {} to {} ",
              length, kMinRawLength, kMaxRawLength);
    return kModbusNoContext;
  }
  if (replies_stale_) discardStaleReplies();
  if (modbus_send_raw_request(context_, request, length) == -1) return checkErrno();
  return consumeRawReply(request[0]);
}

int ModbusDevice::consumeRawReply(uint8_t unit) {
  // An RTU broadcast gets no answer. Every other answer is read here: left in
  // the transport, it would be taken for the reply to the next request, and
  // every request after that would read the answer of the one before.
  if (!tcp_ && unit == MODBUS_BROADCAST_ADDRESS) return 0;
  std::array<uint8_t, MODBUS_TCP_MAX_ADU_LENGTH> reply{};
  if (modbus_receive_confirmation(context_, reply.data()) == -1) return checkErrno();
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
    if (!connected_) break;
  }
}

// ------------------------------------------------------------------- writes

int ModbusDevice::writeAllSignals(double /*elapsed*/) {
  if (!connected_) {
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
  if (!connected_) {
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
      // A damaged reply (a bad reply with replies_stale_ set; without it, 3
      // is the exception illegal data value) is tried once more before the
      // whole run goes into error to be probed signal by signal: a damaged
      // frame is rarely followed by another, and one request is cheaper than
      // a probe per signal. An exception is the slave's considered answer, a
      // lost connection is gone, and a time-out tried again would hold the
      // poll thread for a second response time-out when the slave has gone
      // quiet: none of them is tried again.
      if (result == kModbusBadValueOrReply && replies_stale_) {
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
