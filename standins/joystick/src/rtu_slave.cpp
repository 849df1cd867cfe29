#include "joystick_sim/rtu_slave.h"

#include <modbus/modbus.h>
#include <poll.h>

#include <array>
#include <stdexcept>

namespace velk::joystick_sim {

namespace {

constexpr int kPollMs = 10;

}  // namespace

RtuSlave::RtuSlave(const std::string& serial_path, int unit, int baud,
                   std::chrono::seconds lifetime)
    : ModbusSlave(unit) {
  context_ = modbus_new_rtu(serial_path.c_str(), baud, 'N', 8, 1);
  if (context_ == nullptr) throw std::runtime_error("stand-in slave: modbus_new_rtu failed");
  if (modbus_set_slave(context_, unit) == -1 || modbus_connect(context_) == -1) {
    modbus_free(context_);
    throw std::runtime_error("stand-in slave cannot open " + serial_path);
  }
  const auto deadline = std::chrono::steady_clock::now() + lifetime;
  thread_ = std::thread([this, deadline] { run(deadline); });
}

RtuSlave::~RtuSlave() {
  stop_ = true;
  interruptDelays();
  thread_.join();
  modbus_close(context_);
  modbus_free(context_);
}

void RtuSlave::run(std::chrono::steady_clock::time_point deadline) {
  while (!stop_ && std::chrono::steady_clock::now() < deadline) serveOnce();
}

void RtuSlave::serveOnce() {
  pollfd line{modbus_get_socket(context_), POLLIN, 0};
  if (::poll(&line, 1, kPollMs) <= 0) return;
  if ((line.revents & POLLIN) == 0) {
    // The other end is gone (socat ended): wait instead of spinning.
    ::poll(nullptr, 0, kPollMs);
    return;
  }
  std::array<uint8_t, MODBUS_RTU_MAX_ADU_LENGTH> request{};
  const int length = modbus_receive(context_, request.data());
  if (length > 0) {
    serve(context_, request.data(), length);
  } else if (length < 0) {
    modbus_flush(context_);  // a broken frame: start afresh with the next one
  }
}

}  // namespace velk::joystick_sim
