#pragma once

#include <string>

namespace velk::rocker_sim {

// `rocker-sim --monitor`: polls a joystick and shows what it sends, live.
// On a terminal a page redrawn in place, keys read raw; otherwise one line
// per change on standard output, keys read from standard input as they
// come. Ends on q, after `duration` seconds (0: no limit), or on SIGINT /
// SIGTERM.
class MonitorSession {
 public:
  MonitorSession(std::string device_info, double duration);

  // 0 when the device answered, 1 when it never did.
  int run();

 private:
  std::string device_info_;
  double duration_;
};

}  // namespace velk::rocker_sim
