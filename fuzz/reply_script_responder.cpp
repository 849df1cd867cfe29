#include "reply_script_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <utility>

namespace rocker_fuzz {

namespace {

constexpr std::size_t kHeaderSize = 7;  // MBAP: transaction, protocol, length, unit
// How long a master may take to send its first request after connecting,
// and its next one after a reply. A master that takes longer is waiting for
// bytes the last reply promised but never sent.
constexpr int kFirstRequestMs = 200;
constexpr int kNextRequestMs = 5;
// After a silent reply the master first waits out its response time-out.
constexpr int kAfterSilenceMs = 200;
constexpr int kAcceptPollMs = 50;

bool waitReadable(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  int ready = 0;
  do {
    ready = ::poll(&p, 1, timeout_ms);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

void sendAll(int fd, const std::vector<uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace

ReplyScriptResponder::ReplyScriptResponder() {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) throw std::runtime_error("socket failed");
  const int on = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_fd_, SOMAXCONN) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listen_fd_);
    throw std::runtime_error("cannot listen on loopback");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread(&ReplyScriptResponder::run, this);
}

ReplyScriptResponder::~ReplyScriptResponder() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  ::close(listen_fd_);
}

void ReplyScriptResponder::setScript(std::vector<Reply> script) {
  std::lock_guard<std::mutex> lock(script_mutex_);
  script_ = std::move(script);
}

void ReplyScriptResponder::run() {
  while (!stop_) {
    if (!waitReadable(listen_fd_, kAcceptPollMs)) continue;
    const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::vector<Reply> script;
    {
      std::lock_guard<std::mutex> lock(script_mutex_);
      script = script_;
    }
    serve(client, script);
    ::close(client);
  }
}

void ReplyScriptResponder::serve(int client, const std::vector<Reply>& script) {
  std::vector<uint8_t> request;
  int timeout_ms = kFirstRequestMs;
  for (const Reply& reply : script) {
    if (stop_ || !readRequest(client, request, timeout_ms)) return;
    if (!reply.silent) sendAll(client, replyTo(request, reply));
    timeout_ms = reply.silent ? kAfterSilenceMs : kNextRequestMs;
  }
  // The script is used up: whatever the master asks next meets a closed
  // connection, at once rather than after its time-outs.
  ::shutdown(client, SHUT_RDWR);
}

bool ReplyScriptResponder::readRequest(int client, std::vector<uint8_t>& request, int timeout_ms) {
  request.assign(kHeaderSize, 0);
  if (!readExactly(client, request.data(), kHeaderSize, timeout_ms)) return false;
  const std::size_t length = (static_cast<std::size_t>(request[4]) << 8) | request[5];
  // The length counts the unit byte, which is part of the header already.
  if (length < 1) return true;
  request.resize(kHeaderSize + length - 1);
  return readExactly(client, request.data() + kHeaderSize, length - 1, timeout_ms);
}

bool ReplyScriptResponder::readExactly(int client, uint8_t* data, std::size_t size,
                                       int timeout_ms) {
  std::size_t got = 0;
  while (got < size) {
    if (!waitReadable(client, timeout_ms)) return false;
    const ssize_t n = ::recv(client, data + got, size - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

std::vector<uint8_t> ReplyScriptResponder::replyTo(const std::vector<uint8_t>& request,
                                                   const Reply& reply) {
  std::vector<uint8_t> pdu = reply.bytes;
  if (reply.match_function && !pdu.empty() && request.size() > kHeaderSize) {
    pdu[0] = request[kHeaderSize];
  }
  if (!reply.frame) return pdu;
  const std::size_t length = pdu.size() + 1;
  std::vector<uint8_t> framed = {request[0],
                                 request[1],
                                 0,
                                 0,
                                 static_cast<uint8_t>((length >> 8) & 0xFF),
                                 static_cast<uint8_t>(length & 0xFF),
                                 request[6]};
  framed.insert(framed.end(), pdu.begin(), pdu.end());
  return framed;
}

}  // namespace rocker_fuzz
