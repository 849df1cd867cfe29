#include "joystick_sim/loopback_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace velk::joystick_sim {

namespace {

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

}  // namespace

int LoopbackSocket::listen(int port, int* bound) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = loopback(port);
  socklen_t length = sizeof address;
  auto* generic = reinterpret_cast<sockaddr*>(&address);
  // The kernel's longest accept queue: a master that connects again and
  // again (the reply fuzzer, a thousand times a second) must never meet a
  // full queue while the serving thread is held up, or its connect times
  // out waiting for a handshake that a dropped SYN never completes.
  if (::bind(fd, generic, length) != 0 || ::listen(fd, SOMAXCONN) != 0 ||
      ::getsockname(fd, generic, &length) != 0) {
    ::close(fd);
    return -1;
  }
  *bound = ntohs(address.sin_port);
  return fd;
}

int LoopbackSocket::connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const sockaddr_in address = loopback(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void LoopbackSocket::noDelay(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool LoopbackSocket::readable(int fd, std::chrono::milliseconds wait) {
  pollfd entry{fd, POLLIN, 0};
  int ready = 0;
  do {
    ready = ::poll(&entry, 1, static_cast<int>(wait.count()));
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

}  // namespace velk::joystick_sim
