#include "joystick_sim/byte_relay.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace velk::joystick_sim {

namespace {

constexpr int kPollMs = 10;
constexpr std::size_t kChunk = 512;

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

ByteRelay::ByteRelay(int master_fd, int slave_fd, std::shared_ptr<const ReplyMangling> mangling,
                     std::chrono::seconds lifetime, LineTiming timing)
    : master_fd_(master_fd), slave_fd_(slave_fd), mangling_(std::move(mangling)), timing_(timing) {
  const auto deadline = std::chrono::steady_clock::now() + lifetime;
  thread_ = std::thread([this, deadline] { run(deadline); });
}

ByteRelay::~ByteRelay() {
  stop_ = true;
  thread_.join();
  ::close(master_fd_);
  ::close(slave_fd_);
}

void ByteRelay::run(std::chrono::steady_clock::time_point deadline) {
  while (!stop_ && std::chrono::steady_clock::now() < deadline) {
    pollfd fds[2] = {{master_fd_, POLLIN, 0}, {slave_fd_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, kPollMs);
    if (ready < 0 && errno != EINTR) return;
    if (ready <= 0) continue;
    if (fds[0].revents != 0 && !pump(master_fd_, slave_fd_, false)) return;
    if (fds[1].revents != 0 && !pump(slave_fd_, master_fd_, true)) return;
  }
}

bool ByteRelay::pump(int from, int to, bool from_slave) {
  std::vector<uint8_t> chunk(kChunk);
  const ssize_t n = ::read(from, chunk.data(), chunk.size());
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  if (n <= 0) {
    // The other side learns of the close as it would without the relay.
    ::shutdown(to, SHUT_RDWR);
    return false;
  }
  chunk.resize(static_cast<std::size_t>(n));
  // The bytes take their time on the wire; a reply waits for the adapter.
  auto hold = timing_.per_byte * n;
  if (from_slave) hold += timing_.reply_latency;
  if (hold.count() > 0) std::this_thread::sleep_for(hold);
  if (from_slave && mangling_) chunk = mangling_->apply(std::move(chunk));
  return chunk.empty() || writeAll(to, chunk);
}

}  // namespace velk::joystick_sim
