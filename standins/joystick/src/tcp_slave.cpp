#include "joystick_sim/tcp_slave.h"

#include <modbus/modbus.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>

#include "joystick_sim/loopback_socket.h"

namespace velk::joystick_sim {

namespace {

constexpr int kPollMs = 10;
// Longer than the longest reply delay, which holds the serving thread.
constexpr auto kCommandWait = std::chrono::seconds(15);

}  // namespace

TcpSlave::TcpSlave(int unit, std::chrono::seconds lifetime) : ModbusSlave(unit) {
  if (!listen(0)) throw std::runtime_error("stand-in slave cannot listen on 127.0.0.1");
  context_ = modbus_new_tcp("127.0.0.1", port_);
  if (context_ == nullptr) throw std::runtime_error("stand-in slave: modbus_new_tcp failed");
  modbus_set_slave(context_, unit);
  const auto deadline = std::chrono::steady_clock::now() + lifetime;
  thread_ = std::thread([this, deadline] { run(deadline); });
}

TcpSlave::~TcpSlave() {
  stop_ = true;
  interruptDelays();
  thread_.join();
  closeClients();
  if (listen_fd_ >= 0) ::close(listen_fd_);
  modbus_free(context_);
}

bool TcpSlave::listen(int port) {
  int bound = 0;
  listen_fd_ = LoopbackSocket::listen(port, &bound);
  if (listen_fd_ < 0) return false;
  port_ = bound;  // the same port again on a restart
  return true;
}

void TcpSlave::run(std::chrono::steady_clock::time_point deadline) {
  while (!stop_ && std::chrono::steady_clock::now() < deadline) {
    runCommands();
    pollOnce();
  }
  runCommands();
}

void TcpSlave::pollOnce() {
  std::vector<pollfd> fds;
  if (listen_fd_ >= 0) fds.push_back(pollfd{listen_fd_, POLLIN, 0});
  for (int fd : clients_) fds.push_back(pollfd{fd, POLLIN, 0});
  if (::poll(fds.data(), fds.size(), kPollMs) <= 0) return;
  std::vector<int> gone;
  for (const pollfd& entry : fds) {
    if (entry.revents == 0) continue;
    if (entry.fd == listen_fd_) {
      acceptClient();
    } else if (!serveClient(entry.fd)) {
      gone.push_back(entry.fd);
    }
  }
  for (int fd : gone) {
    ::close(fd);
    clients_.erase(std::find(clients_.begin(), clients_.end(), fd));
  }
}

void TcpSlave::acceptClient() {
  const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  if (refuse_) {
    ::close(fd);
    return;
  }
  clients_.push_back(fd);
  ++accepted_;
}

bool TcpSlave::serveClient(int fd) {
  std::array<uint8_t, MODBUS_TCP_MAX_ADU_LENGTH> request{};
  modbus_set_socket(context_, fd);
  const int length = modbus_receive(context_, request.data());
  if (length < 0) return false;
  if (length > 0) serve(context_, request.data(), length);
  return true;
}

void TcpSlave::closeClients() {
  for (int fd : clients_) ::close(fd);
  clients_.clear();
}

void TcpSlave::runCommands() {
  std::vector<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> lock(commands_mutex_);
    batch.swap(commands_);
  }
  for (auto& command : batch) command();
  std::lock_guard<std::mutex> lock(commands_mutex_);
  commands_run_ += batch.size();
  commands_done_.notify_all();
}

bool TcpSlave::onServer(std::function<void()> command) {
  std::unique_lock<std::mutex> lock(commands_mutex_);
  commands_.push_back(std::move(command));
  const unsigned long ticket = ++commands_posted_;
  return commands_done_.wait_for(lock, kCommandWait, [&] { return commands_run_ >= ticket; });
}

void TcpSlave::acceptPending() {
  pollfd entry{listen_fd_, POLLIN, 0};
  while (listen_fd_ >= 0 && ::poll(&entry, 1, 0) > 0) acceptClient();
}

void TcpSlave::dropClients() {
  // A master's connect completes in the kernel before this thread accepts
  // it; such a connection is dropped too.
  onServer([this] {
    acceptPending();
    closeClients();
  });
}

void TcpSlave::setRefuseConnections(bool refuse) { refuse_ = refuse; }

void TcpSlave::stopListening() {
  onServer([this] {
    if (listen_fd_ < 0) return;
    ::close(listen_fd_);
    listen_fd_ = -1;
  });
}

bool TcpSlave::startListening() {
  // Shared, because a command that times out may still run later.
  auto listening = std::make_shared<std::atomic<bool>>(false);
  const bool ran = onServer([this, listening] { *listening = listen_fd_ >= 0 || listen(port_); });
  return ran && listening->load();
}

}  // namespace velk::joystick_sim
