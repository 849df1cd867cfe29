#include "support/raw_tcp_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace velk::test {

namespace {

constexpr int kPollMs = 10;
constexpr std::size_t kHeaderLength = 7;  // MBAP: transaction, protocol, length, unit

int listenOnLoopback(int* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  auto* generic = reinterpret_cast<sockaddr*>(&address);
  if (::bind(fd, generic, length) != 0 || ::listen(fd, 4) != 0 ||
      ::getsockname(fd, generic, &length) != 0) {
    ::close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

bool waitReadable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, kPollMs) > 0;
}

}  // namespace

RawTcpResponder::RawTcpResponder(Reply reply, std::chrono::seconds lifetime)
    : reply_(std::move(reply)) {
  listen_fd_ = listenOnLoopback(&port_);
  if (listen_fd_ < 0) throw std::runtime_error("responder cannot listen on 127.0.0.1");
  const auto deadline = std::chrono::steady_clock::now() + lifetime;
  thread_ = std::thread([this, deadline] { run(deadline); });
}

RawTcpResponder::~RawTcpResponder() {
  stop_ = true;
  thread_.join();
  ::close(listen_fd_);
}

void RawTcpResponder::run(std::chrono::steady_clock::time_point deadline) {
  while (!stop_ && std::chrono::steady_clock::now() < deadline) {
    if (!waitReadable(listen_fd_)) continue;
    const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    serve(client, deadline);
    ::close(client);
  }
}

void RawTcpResponder::serve(int client, std::chrono::steady_clock::time_point deadline) {
  Frame request(kHeaderLength);
  while (readExactly(client, request.data(), kHeaderLength, deadline)) {
    const std::size_t rest = ((std::size_t{request[4]} << 8) | request[5]);
    if (rest < 2) return;  // not even unit and function: not Modbus
    request.resize(kHeaderLength + rest - 1);
    if (!readExactly(client, request.data() + kHeaderLength, rest - 1, deadline)) return;
    ++requests_;
    const Frame answer = reply_(request);
    if (!answer.empty() && ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL) < 0) return;
    request.resize(kHeaderLength);
  }
}

bool RawTcpResponder::readExactly(int fd, uint8_t* data, std::size_t size,
                                  std::chrono::steady_clock::time_point deadline) {
  std::size_t done = 0;
  while (done < size) {
    if (stop_ || std::chrono::steady_clock::now() >= deadline) return false;
    if (!waitReadable(fd)) continue;
    const ssize_t got = ::recv(fd, data + done, size - done, 0);
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

RawTcpResponder::Frame RawTcpResponder::readReply(const Frame& request) {
  return readReplyWithExtraData(request, 0);
}

}  // namespace velk::test
