#include "joystick_sim/raw_tcp_responder.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "joystick_sim/loopback_socket.h"

namespace velk::joystick_sim {

namespace {

constexpr std::chrono::milliseconds kPoll{10};
constexpr std::size_t kHeaderLength = 7;  // MBAP: transaction, protocol, length, unit

// Readable within `wait`, looking at most one poll step ahead.
bool waitReadable(int fd, std::chrono::steady_clock::duration wait) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wait);
  return LoopbackSocket::readable(fd, std::clamp(ms, decltype(ms){0}, kPoll));
}

bool sendAll(int fd, const std::vector<uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

RawTcpResponder::RawTcpResponder(Reply reply, std::chrono::seconds lifetime)
    : RawTcpResponder(
          [reply = std::move(reply)]() -> Conversation {
            return [reply](const Frame& request) { return Answer{reply(request)}; };
          },
          lifetime) {}

RawTcpResponder::RawTcpResponder(ConversationStart start, std::chrono::seconds lifetime)
    : start_(std::move(start)) {
  listen_fd_ = LoopbackSocket::listen(0, &port_);
  if (listen_fd_ < 0) throw std::runtime_error("responder cannot listen on 127.0.0.1");
  const auto deadline = Clock::now() + lifetime;
  thread_ = std::thread([this, deadline] { run(deadline); });
}

RawTcpResponder::~RawTcpResponder() {
  stop_ = true;
  thread_.join();
  ::close(listen_fd_);
}

void RawTcpResponder::run(Clock::time_point deadline) {
  while (!stop_ && Clock::now() < deadline) {
    if (!waitReadable(listen_fd_, kPoll)) continue;
    const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    LoopbackSocket::noDelay(client);
    serve(client, deadline);
    ::close(client);
  }
}

void RawTcpResponder::serve(int client, Clock::time_point deadline) {
  const Conversation talk = start_();
  Frame request;
  auto wait_until = deadline;
  while (readRequest(client, request, wait_until)) {
    ++requests_;
    const std::optional<Answer> answer = talk(request);
    if (!answer) break;
    if (!answer->frame.empty() && !sendAll(client, answer->frame)) return;
    wait_until = std::min(deadline, Clock::now() + answer->next_request_within);
  }
  // Whatever the master asks next meets a closed connection at once.
  ::shutdown(client, SHUT_RDWR);
}

bool RawTcpResponder::readRequest(int client, Frame& request, Clock::time_point deadline) {
  request.assign(kHeaderLength, 0);
  if (!readExactly(client, request.data(), kHeaderLength, deadline)) return false;
  const std::size_t rest = (std::size_t{request[4]} << 8) | request[5];
  if (rest < 2) return false;  // not even unit and function: not Modbus
  request.resize(kHeaderLength + rest - 1);
  return readExactly(client, request.data() + kHeaderLength, rest - 1, deadline);
}

bool RawTcpResponder::readExactly(int fd, uint8_t* data, std::size_t size,
                                  Clock::time_point deadline) {
  std::size_t done = 0;
  while (done < size) {
    const auto left = deadline - Clock::now();
    if (stop_ || left <= Clock::duration::zero()) return false;
    if (!waitReadable(fd, left)) continue;
    const ssize_t got = ::recv(fd, data + done, size - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

RawTcpResponder::Frame RawTcpResponder::readReplyWithExtraData(const Frame& request, int extra) {
  if (request.size() < kHeaderLength + 5) return {};
  const int function = request[7];
  const int count = (request[10] << 8) | request[11];
  const int asked = function <= 2 ? (count + 7) / 8 : count * 2;
  const int bytes = asked + extra;
  Frame reply(request.begin(), request.begin() + kHeaderLength);
  const int length = 3 + bytes;  // unit, function, byte count, data
  reply[4] = static_cast<uint8_t>(length >> 8);
  reply[5] = static_cast<uint8_t>(length & 0xFF);
  reply.push_back(static_cast<uint8_t>(function));
  reply.push_back(static_cast<uint8_t>(bytes));
  reply.resize(reply.size() + static_cast<std::size_t>(bytes), 0);
  return reply;
}

}  // namespace velk::joystick_sim
