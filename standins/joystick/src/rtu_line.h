#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace velk::joystick_sim {

class PtyPair;
class RtuSlave;

// The joystick's serial line: a socat pseudo-terminal pair with an RTU slave
// (115200 8N1, unit 2) on the far end. The master opens it through a link of
// its own that stays put, so that the line can be unplugged and plugged in
// again like a USB serial adapter: unplugged, the pair is gone and opening
// the link fails; plugged in, a fresh pair stands behind the same link.
//
// A line made elsewhere (a tap) is used as it is: unplugged, only the slave
// goes.
//
// socat dies with the thread that plugged the line in (see PtyPair): call
// everything from the thread that keeps running, the main thread.
class RtuLine {
 public:
  static constexpr int kBaud = 115200;

  // A line of its own, plugged in. Throws std::runtime_error when socat or
  // the pty cannot be set up.
  explicit RtuLine(std::chrono::seconds lifetime);
  // The slave at `slave_path` of a line whose master end is `device_path`.
  RtuLine(const std::string& slave_path, const std::string& device_path,
          std::chrono::seconds lifetime);
  ~RtuLine();
  RtuLine(const RtuLine&) = delete;
  RtuLine& operator=(const RtuLine&) = delete;

  const std::string& devicePath() const { return device_path_; }
  // Null while unplugged.
  RtuSlave* slave() const { return slave_.get(); }
  void unplug();
  void plugIn();

 private:
  bool ownsLine() const { return !directory_.empty(); }
  void pointLinkAt(const std::string& target);

  std::string directory_;  // empty for a line made elsewhere
  std::string device_path_;
  std::string slave_path_;
  std::chrono::steady_clock::time_point deadline_;
  std::unique_ptr<PtyPair> pair_;
  std::unique_ptr<RtuSlave> slave_;
};

}  // namespace velk::joystick_sim
