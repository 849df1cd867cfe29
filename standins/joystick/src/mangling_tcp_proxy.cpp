#include "joystick_sim/mangling_tcp_proxy.h"

#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "joystick_sim/loopback_socket.h"

namespace velk::joystick_sim {

namespace {

constexpr std::chrono::milliseconds kPoll{10};

}  // namespace

ManglingTcpProxy::ManglingTcpProxy(int slave_port, std::chrono::seconds lifetime)
    : slave_port_(slave_port), lifetime_(lifetime) {
  listen_fd_ = LoopbackSocket::listen(0, &port_);
  if (listen_fd_ < 0) throw std::runtime_error("proxy cannot listen on 127.0.0.1");
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
    if (!LoopbackSocket::readable(listen_fd_, kPoll)) continue;
    const int master = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (master < 0) continue;
    const int slave = LoopbackSocket::connect(slave_port_);
    if (slave < 0) {
      ::close(master);
      continue;
    }
    LoopbackSocket::noDelay(master);
    LoopbackSocket::noDelay(slave);
    relay_ = std::make_unique<ByteRelay>(master, slave, mangling_, lifetime_);
  }
}

}  // namespace velk::joystick_sim
