#include "communication/modbus_dev/libmodbus_link.h"

#include <modbus/modbus.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <utility>

#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_dev/modbus_result.h"

namespace velk::zorv_control {

namespace {

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

// The byte time-out: how long a reply that has begun may pause before it
// counts as cut off. libmodbus's default of 0.5 s would hold the poll thread
// that long for every truncated reply. A sound reply pauses for no more than
// a character gap on the line (3.5 character times end an RTU frame; the
// standard fixes that gap at 1.75 ms above 19200 baud), plus whatever the
// serial adapter holds back: a USB adapter hands on what it has received
// when its latency timer runs out, 16 ms by default, so a reply may come in
// two parts that far apart. 20 ms covers that timer with room to spare. A
// TCP reply comes in one segment; a part held back on its way by a gateway
// or a busy host takes about as long as an adapter's timer, so TCP gets
// the same order.
constexpr double kAdapterLatencyMs = 20.0;
constexpr double kShortestFrameGapMs = 1.75;
constexpr int kTcpByteTimeoutMs = 50;

int byteTimeoutMs(const LinkSettings& s) {
  if (s.tcp || s.baud <= 0) return kTcpByteTimeoutMs;
  const int parity_bits = s.parity == 'N' ? 0 : 1;
  const double character_ms = 1000.0 * (1 + s.data_bits + parity_bits + s.stop_bits) / s.baud;
  const double gap_ms = std::max(3.5 * character_ms, kShortestFrameGapMs);
  return static_cast<int>(std::ceil(gap_ms + kAdapterLatencyMs));
}

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

}  // namespace

LibmodbusLink::LibmodbusLink(LogCallback log, LinkSettings settings)
    : log_(std::move(log)), settings_(std::move(settings)) {}

LibmodbusLink::~LibmodbusLink() { close(); }

int LibmodbusLink::connect() {
  const LinkSettings& s = settings_;
  const int result = s.tcp ? connectTcp(s.host.c_str(), s.port, s.slave, s.response_timeout_ms)
                           : connectRtu(s.serial_path.c_str(), s.baud, s.parity, s.data_bits,
                                        s.stop_bits, s.slave, s.response_timeout_ms);
  if (result != 0) return result;
  logConnected();
  return 0;
}

void LibmodbusLink::logConnected() {
  const LinkSettings& s = settings_;
  if (s.tcp) {
    VELK_LOG(log_, kLogInfo) << "Connected to Modbus Slave " << s.host << ":" << s.port
                             << " slave_number: " << s.slave;
  } else {
    VELK_LOGF(log_, kLogInfo,
              "Connected to Modbus Slave {}:baud({}) parity({}) bits({}) stop_bit({}) "
              "slave_number: {}  ",
              s.serial_path, s.baud, s.parity, s.data_bits, s.stop_bits, s.slave);
  }
}

int LibmodbusLink::reconnect() {
  if (reconnect_count_ > 100) {
    reconnect_count_ = 0;
    return connect();
  }
  ++reconnect_count_;
  return 0;
}

int LibmodbusLink::connectTcp(const char* host, int port, int slave, int response_timeout_ms) {
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

int LibmodbusLink::connectRtu(const char* serial_path, int baud, char parity, int data_bits,
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

int LibmodbusLink::openContext(modbus_t* context, int slave, int response_timeout_ms) {
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
  const int byte_timeout_ms = byteTimeoutMs(settings_);
  modbus_set_byte_timeout(context, static_cast<uint32_t>(byte_timeout_ms / 1000),
                          static_cast<uint32_t>((byte_timeout_ms % 1000) * 1000));
  modbus_set_debug(context, debug_.load() ? 1 : 0);
  // Whatever the transport already holds belongs to an earlier exchange.
  modbus_flush(context);
  replies_stale_ = false;
  context_ = context;
  connected_ = true;
  setConnectionProblem("");
  return 0;
}

void LibmodbusLink::failConnect(const char* creation_error, const std::string& reason) {
  // Attempts repeat about once a second; the same failure said each time
  // would bury everything else in the log. The connected message says when
  // it is over.
  if (connectionProblem() == reason) return;
  setConnectionProblem(reason);
  if (creation_error != nullptr) VELK_LOG(log_, kLogError) << creation_error;
  VELK_LOG(log_, kLogWarning) << "Cannot connect to Modbus slave " << label() << ": " << reason;
}

std::string LibmodbusLink::label() const {
  return settings_.tcp ? settings_.host + ":" + std::to_string(settings_.port)
                       : settings_.serial_path;
}

std::string LibmodbusLink::connectionProblem() const {
  std::lock_guard<std::mutex> lock(problem_mutex_);
  return connection_problem_;
}

void LibmodbusLink::setConnectionProblem(const std::string& reason) {
  std::lock_guard<std::mutex> lock(problem_mutex_);
  connection_problem_ = reason;
}

void LibmodbusLink::close() {
  if (context_ == nullptr) return;
  if (settings_.tcp) {
    VELK_LOGF(log_, kLogInfo, "Modbus device {}:{} closed. ", settings_.host, settings_.port);
  } else {
    VELK_LOGF(log_, kLogInfo, "Modbus device {} closed. ", settings_.serial_path);
  }
  modbus_close(context_);
  modbus_free(context_);
  context_ = nullptr;
  connected_ = false;
}

// ---------------------------------------------------------- single requests

int LibmodbusLink::readBits(int addr, int nb, uint8_t* dest) {
  return runRead(nb, dest, [&] { return modbus_read_bits(context_, addr, nb, dest); });
}

int LibmodbusLink::readInputBits(int addr, int nb, uint8_t* dest) {
  return runRead(nb, dest, [&] { return modbus_read_input_bits(context_, addr, nb, dest); });
}

int LibmodbusLink::readRegisters(int addr, int nb, uint16_t* dest) {
  return runRead(nb, dest, [&] { return modbus_read_registers(context_, addr, nb, dest); });
}

int LibmodbusLink::readInputRegisters(int addr, int nb, uint16_t* dest) {
  return runRead(nb, dest, [&] { return modbus_read_input_registers(context_, addr, nb, dest); });
}

int LibmodbusLink::writeBit(int addr, int value) {
  return runWrite([&] { return modbus_write_bit(context_, addr, value != 0 ? 1 : 0); });
}

int LibmodbusLink::writeRegister(int addr, int value) {
  return runWrite(
      [&] { return modbus_write_register(context_, addr, static_cast<uint16_t>(value)); });
}

template <typename Call>
int LibmodbusLink::runRead(int nb, const void* dest, const Call& call) {
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
int LibmodbusLink::runWrite(const Call& call) {
  if (context_ == nullptr) {
    VELK_LOG(log_, kLogError) << "modbus no init !";
    return kModbusNoContext;
  }
  return runConnected(call);
}

template <typename Call>
int LibmodbusLink::runConnected(const Call& call) {
  if (!connected_) return kModbusNotConnected;
  if (replies_stale_) discardStaleReplies();
  if (call() != -1) return 0;
  return checkErrno();
}

void LibmodbusLink::discardStaleReplies() {
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

int LibmodbusLink::checkErrno() {
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

int LibmodbusLink::sendRawRequest(const uint8_t* request, int length) {
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

int LibmodbusLink::consumeRawReply(uint8_t unit) {
  // An RTU broadcast gets no answer. Every other answer is read here: left in
  // the transport, it would be taken for the reply to the next request, and
  // every request after that would read the answer of the one before.
  if (!settings_.tcp && unit == MODBUS_BROADCAST_ADDRESS) return 0;
  std::array<uint8_t, MODBUS_TCP_MAX_ADU_LENGTH> reply{};
  if (modbus_receive_confirmation(context_, reply.data()) == -1) return checkErrno();
  return 0;
}

}  // namespace velk::zorv_control
