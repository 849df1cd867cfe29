#include "bench/simple_poller.h"

#include <modbus.h>

#include "joystick_sim/joystick_map.h"

namespace velk::bench {

using joystick_sim::JoystickMap;
namespace {

constexpr auto kPeriod = std::chrono::milliseconds(100);

modbus_t* connectTo(const LoopbackJoystick& joystick) {
  modbus_t* context = joystick.transport() == Transport::kTcp
                          ? modbus_new_tcp(joystick.host().c_str(), joystick.port())
                          : modbus_new_rtu(joystick.serialPath().c_str(), 115200, 'N', 8, 1);
  if (context == nullptr) return nullptr;
  modbus_set_slave(context, JoystickMap::kUnit);
  modbus_set_response_timeout(context, 1, 0);
  if (modbus_connect(context) == -1) {
    modbus_free(context);
    return nullptr;
  }
  return context;
}

}  // namespace

SimplePoller::SimplePoller(const LoopbackJoystick& joystick, std::chrono::seconds lifetime)
    : joystick_(joystick) {
  const auto deadline = std::chrono::steady_clock::now() + lifetime;
  thread_ = std::thread([this, deadline] { run(deadline); });
}

SimplePoller::~SimplePoller() {
  stop();
  if (thread_.joinable()) thread_.join();
}

void SimplePoller::stop() { stop_ = true; }

void SimplePoller::run(std::chrono::steady_clock::time_point deadline) {
  modbus_t* context = connectTo(joystick_);
  if (context == nullptr) {
    failures_ = -1;
    return;
  }
  auto next = std::chrono::steady_clock::now();
  while (!stop_ && std::chrono::steady_clock::now() < deadline) {
    pollRound(context);
    ++rounds_;
    next += kPeriod;
    std::this_thread::sleep_until(next);
  }
  modbus_close(context);
  modbus_free(context);
}

void SimplePoller::pollRound(modbus_t* context) {
  uint8_t bit = 0;
  uint16_t word = 0;
  for (int address : JoystickMap::kCoils) {
    if (modbus_read_bits(context, address, 1, &bit) != 1) ++failures_;
  }
  for (int address : JoystickMap::kInputRegisters) {
    if (modbus_read_input_registers(context, address, 1, &word) != 1) ++failures_;
  }
  for (int address : JoystickMap::kHoldingRegisters) {
    if (modbus_read_registers(context, address, 1, &word) != 1) ++failures_;
  }
}

}  // namespace velk::bench
