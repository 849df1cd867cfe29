#pragma once

#include <chrono>

namespace velk::joystick_sim {

// The TCP sockets of the stand-ins, all on 127.0.0.1.
class LoopbackSocket {
 public:
  // A socket listening at `port` (0: one the kernel picks; the same port
  // again may be asked for once it is closed); -1 on failure. The port
  // bound goes to `*bound`.
  static int listen(int port, int* bound);
  // A socket connected to `port`; -1 on failure.
  static int connect(int port);
  // Small replies go out at once rather than waiting for more to send.
  static void noDelay(int fd);
  // Whether `fd` has something to read (or has been closed) within `wait`.
  static bool readable(int fd, std::chrono::milliseconds wait);
};

}  // namespace velk::joystick_sim
