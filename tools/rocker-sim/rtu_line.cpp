#include "rocker-sim/rtu_line.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "joystick_sim/pty_pair.h"
#include "joystick_sim/rtu_slave.h"
#include "rocker-sim/joystick_map.h"

namespace velk::rocker_sim {

RtuLine::RtuLine(std::chrono::seconds lifetime)
    : deadline_(std::chrono::steady_clock::now() + lifetime) {
  std::string pattern = "/tmp/rocker-sim-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error(std::string("cannot make a directory for the serial line: ") +
                             std::strerror(errno));
  }
  directory_ = pattern;
  link_path_ = directory_ + "/joystick";
  try {
    plugIn();
  } catch (...) {
    ::rmdir(directory_.c_str());
    throw;
  }
}

RtuLine::~RtuLine() {
  unplug();
  ::rmdir(directory_.c_str());
}

void RtuLine::unplug() {
  slave_.reset();
  pair_.reset();
  ::unlink(link_path_.c_str());
}

void RtuLine::plugIn() {
  if (slave_) return;
  const auto left = std::chrono::duration_cast<std::chrono::seconds>(
      deadline_ - std::chrono::steady_clock::now());
  pair_ = std::make_unique<joystick_sim::PtyPair>();
  slave_ = std::make_unique<joystick_sim::RtuSlave>(pair_->slavePath(), JoystickMap::kUnit, kBaud,
                                                    std::max(left, std::chrono::seconds(1)));
  pointLinkAt(pair_->devicePath());
}

// Replaces the link in one step, so that the bundle never finds it half made.
void RtuLine::pointLinkAt(const std::string& target) {
  const std::string fresh = link_path_ + ".new";
  ::unlink(fresh.c_str());
  if (::symlink(target.c_str(), fresh.c_str()) != 0 ||
      ::rename(fresh.c_str(), link_path_.c_str()) != 0) {
    throw std::runtime_error("cannot link " + link_path_ + ": " + std::strerror(errno));
  }
}

}  // namespace velk::rocker_sim
