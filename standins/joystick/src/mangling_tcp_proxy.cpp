#include "joystick_sim/mangling_tcp_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace velk::joystick_sim {

namespace {

constexpr int kPollMs = 10;

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

void noDelay(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

ManglingTcpProxy::ManglingTcpProxy(int slave_port, std::chrono::seconds lifetime)
    : slave_port_(slave_port), lifetime_(lifetime) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  auto* generic = reinterpret_cast<sockaddr*>(&address);
  if (listen_fd_ < 0 || ::bind(listen_fd_, generic, length) != 0 || ::listen(listen_fd_, 8) != 0 ||
      ::getsockname(listen_fd_, generic, &length) != 0) {
    if (listen_fd_ >= 0) ::close(listen_fd_);
    throw std::runtime_error("proxy cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  const auto deadline = std::chrono::steady_clock::now() + lifetime;
  thread_ = std::thread([this, deadline] { run(deadline); });
}

ManglingTcpProxy::~ManglingTcpProxy() {
  stop_ = true;
  thread_.join();
  relay_.reset();
  ::close(listen_fd_);
}

void ManglingTcpProxy::run(std::chrono::steady_clock::time_point deadline) {
  while (!stop_ && std::chrono::steady_clock::now() < deadline) {
    pollfd entry{listen_fd_, POLLIN, 0};
    if (::poll(&entry, 1, kPollMs) <= 0) continue;
    const int master = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (master < 0) continue;
    const int slave = connectToSlave();
    if (slave < 0) {
      ::close(master);
      continue;
    }
    noDelay(master);
    noDelay(slave);
    relay_ = std::make_unique<ByteRelay>(master, slave, mangling_, lifetime_);
  }
}

int ManglingTcpProxy::connectToSlave() const {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const sockaddr_in address = loopback(slave_port_);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace velk::joystick_sim
