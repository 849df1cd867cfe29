#include "joystick_sim/serial_line_tap.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace velk::joystick_sim {

namespace {

int openRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  termios settings{};
  if (::tcgetattr(fd, &settings) == 0) {
    ::cfmakeraw(&settings);
    ::tcsetattr(fd, TCSANOW, &settings);
  }
  return fd;
}

}  // namespace

SerialLineTap::SerialLineTap(std::chrono::seconds lifetime, LineTiming timing) {
  const int master_fd = openRaw(master_side_.slavePath());
  int slave_fd = -1;
  try {
    slave_fd = openRaw(slave_side_.devicePath());
  } catch (...) {
    ::close(master_fd);
    throw;
  }
  relay_ = std::make_unique<ByteRelay>(master_fd, slave_fd, mangling_, lifetime, timing);
}

SerialLineTap::~SerialLineTap() { relay_.reset(); }

}  // namespace velk::joystick_sim
