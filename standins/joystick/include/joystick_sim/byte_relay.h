#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "joystick_sim/reply_mangling.h"

namespace velk::joystick_sim {

// How a relay paces the line (see ByteRelay).
struct LineTiming {
  std::chrono::nanoseconds per_byte{0};  // 0: as fast as the pseudo-terminals go
  std::chrono::milliseconds reply_latency{0};
  // 10 bits a byte (start, 8 data, stop) at `baud`.
  static std::chrono::nanoseconds byteTime(int baud) {
    return std::chrono::nanoseconds(10'000'000'000LL / baud);
  }
};

// Copies bytes both ways between the master's side and the slave's side of
// a link (two sockets, or two pseudo-terminal ends) on a thread of its own.
// What the slave sends passes through `mangling` on its way to the master;
// requests pass unchanged. Owns both descriptors and closes them when it
// goes. The thread ends when either side closes, on destruction, or when
// `lifetime` has passed.
//
// With a line timing the relay behaves like a real serial line and adapter:
// each chunk is passed on after the time its bytes take on the wire, and a
// reply, in addition, after the adapter's latency (a USB serial adapter
// holds what it receives until its latency timer runs out, 16 ms by
// default). Modbus is half duplex, so holding one direction up holds
// nothing else.
class ByteRelay {
 public:
  ByteRelay(int master_fd, int slave_fd, std::shared_ptr<const ReplyMangling> mangling,
            std::chrono::seconds lifetime, LineTiming timing = {});
  ~ByteRelay();
  ByteRelay(const ByteRelay&) = delete;
  ByteRelay& operator=(const ByteRelay&) = delete;

 private:
  void run(std::chrono::steady_clock::time_point deadline);
  bool pump(int from, int to, bool from_slave);

  int master_fd_;
  int slave_fd_;
  std::shared_ptr<const ReplyMangling> mangling_;
  LineTiming timing_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace velk::joystick_sim
