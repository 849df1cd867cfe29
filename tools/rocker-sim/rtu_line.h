#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace velk::joystick_sim {
class PtyPair;
class RtuSlave;
}  // namespace velk::joystick_sim

namespace velk::rocker_sim {

// The joystick's serial line: a socat pseudo-terminal pair with an RTU slave
// (115200 8N1, unit 2) on the far end. The bundle opens it through a link of
// its own that stays put, so that the line can be unplugged and plugged in
// again like a USB serial adapter: unplugged, the pair is gone and opening
// the link fails; plugged in, a fresh pair stands behind the same link.
//
// socat dies with the thread that plugged the line in (see PtyPair): call
// everything from the thread that keeps running, the main thread.
class RtuLine {
 public:
  static constexpr int kBaud = 115200;

  // Plugged in. Throws std::runtime_error when socat or the pty cannot be set up.
  explicit RtuLine(std::chrono::seconds lifetime);
  ~RtuLine();
  RtuLine(const RtuLine&) = delete;
  RtuLine& operator=(const RtuLine&) = delete;

  const std::string& devicePath() const { return link_path_; }
  // Null while unplugged.
  joystick_sim::RtuSlave* slave() const { return slave_.get(); }
  void unplug();
  void plugIn();

 private:
  void pointLinkAt(const std::string& target);

  std::string directory_;
  std::string link_path_;
  std::chrono::steady_clock::time_point deadline_;
  std::unique_ptr<joystick_sim::PtyPair> pair_;
  std::unique_ptr<joystick_sim::RtuSlave> slave_;
};

}  // namespace velk::rocker_sim
