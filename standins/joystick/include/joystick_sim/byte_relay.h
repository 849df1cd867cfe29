#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "joystick_sim/reply_mangling.h"

namespace velk::joystick_sim {

// Copies bytes both ways between the master's side and the slave's side of
// a link (two sockets, or two pseudo-terminal ends) on a thread of its own.
// What the slave sends passes through `mangling` on its way to the master;
// requests pass unchanged. Owns both descriptors and closes them when it
// goes. The thread ends when either side closes, on destruction, or when
// `lifetime` has passed.
class ByteRelay {
 public:
  ByteRelay(int master_fd, int slave_fd, std::shared_ptr<const ReplyMangling> mangling,
            std::chrono::seconds lifetime);
  ~ByteRelay();
  ByteRelay(const ByteRelay&) = delete;
  ByteRelay& operator=(const ByteRelay&) = delete;

 private:
  void run(std::chrono::steady_clock::time_point deadline);
  bool pump(int from, int to, bool from_slave);

  int master_fd_;
  int slave_fd_;
  std::shared_ptr<const ReplyMangling> mangling_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace velk::joystick_sim
