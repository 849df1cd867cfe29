#pragma once

#include <sys/types.h>

#include <string>

namespace velk::joystick_sim {

// Two connected pseudo-terminals made by socat in a fresh temporary
// directory, the serial line of a stand-in RTU device:
//
//   socat pty,raw,echo=0,link=<dir>/device pty,raw,echo=0,link=<dir>/slave
//
// The constructor returns once both links exist (throws std::runtime_error
// if socat cannot be found or the links do not appear within 5 s). The
// destructor ends socat and removes the directory. socat is also told to
// die with the thread that created the pair (PR_SET_PDEATHSIG), so a crashed
// program leaves nothing behind: create the pair on a thread that lives as
// long as the pair.
// socat's diagnostics go to <dir>/socat.log.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // The end for the master (ModbusDevice's serial path).
  const std::string& devicePath() const { return device_path_; }
  // The "device_info" that reaches an RtuSlave at its default 115200 8N1.
  std::string deviceInfo() const { return device_path_ + ",115200,N,8,1"; }
  // The end for RtuSlave.
  const std::string& slavePath() const { return slave_path_; }

 private:
  void launch(const std::string& socat);
  bool waitForLinks();
  void stopSocat();
  void removeDirectory();

  std::string directory_;
  std::string device_path_;
  std::string slave_path_;
  std::string log_path_;
  pid_t pid_ = -1;
};

}  // namespace velk::joystick_sim
