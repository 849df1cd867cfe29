#include "rtu_line.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "joystick_sim/joystick_map.h"
#include "joystick_sim/pty_pair.h"
#include "joystick_sim/rtu_slave.h"

namespace velk::joystick_sim {

RtuLine::RtuLine(std::chrono::seconds lifetime)
    : deadline_(std::chrono::steady_clock::now() + lifetime) {
  std::string pattern = "/tmp/rocker-joystick-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error(std::string("cannot make a directory for the serial line: ") +
                             std::strerror(errno));
  }
  directory_ = pattern;
  device_path_ = directory_ + "/joystick";
  try {
    plugIn();
  } catch (...) {
    ::rmdir(directory_.c_str());
    throw;
  }
}

RtuLine::RtuLine(const std::string& slave_path, const std::string& device_path,
                 std::chrono::seconds lifetime)
    : device_path_(device_path),
      slave_path_(slave_path),
      deadline_(std::chrono::steady_clock::now() + lifetime) {
  plugIn();
}

RtuLine::~RtuLine() {
  unplug();
  if (ownsLine()) ::rmdir(directory_.c_str());
}

// The line first, so that the master sees it go rather than a slave that
// stops answering.
void RtuLine::unplug() {
  if (ownsLine()) {
    pair_.reset();
    ::unlink(device_path_.c_str());
  }
  slave_.reset();
}

void RtuLine::plugIn() {
  if (slave_) return;
  const auto left = std::max(std::chrono::duration_cast<std::chrono::seconds>(
                                 deadline_ - std::chrono::steady_clock::now()),
                             std::chrono::seconds(1));
  if (!ownsLine()) {
    slave_ = std::make_unique<RtuSlave>(slave_path_, JoystickMap::kUnit, kBaud, left);
    return;
  }
  pair_ = std::make_unique<PtyPair>();
  slave_ = std::make_unique<RtuSlave>(pair_->slavePath(), JoystickMap::kUnit, kBaud, left);
  pointLinkAt(pair_->devicePath());
}

// Replaces the link in one step, so that the master never finds it half made.
void RtuLine::pointLinkAt(const std::string& target) {
  const std::string fresh = device_path_ + ".new";
  ::unlink(fresh.c_str());
  if (::symlink(target.c_str(), fresh.c_str()) != 0 ||
      ::rename(fresh.c_str(), device_path_.c_str()) != 0) {
    throw std::runtime_error("cannot link " + device_path_ + ": " + std::strerror(errno));
  }
}

}  // namespace velk::joystick_sim
