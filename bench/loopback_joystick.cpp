#include "bench/loopback_joystick.h"

namespace velk::bench {

using joystick_sim::SimulatedJoystick;

LoopbackJoystick::LoopbackJoystick(Transport transport, std::chrono::seconds lifetime, bool tapped)
    : transport_(transport) {
  if (transport == Transport::kRtu && tapped) {
    tap_ = std::make_unique<joystick_sim::SerialLineTap>(lifetime);
    joystick_ =
        std::make_unique<SimulatedJoystick>(tap_->slavePath(), tap_->devicePath(), lifetime);
  } else {
    joystick_ = std::make_unique<SimulatedJoystick>(transport == Transport::kTcp
                                                        ? SimulatedJoystick::Transport::kTcp
                                                        : SimulatedJoystick::Transport::kRtu,
                                                    lifetime);
  }
  // "127.0.0.1,<port>" or "<serial path>,115200,N,8,1"
  device_info_ = joystick_->deviceInfo();
  const auto comma = device_info_.find(',');
  if (transport == Transport::kRtu) {
    serial_path_ = device_info_.substr(0, comma);
    return;
  }
  port_ = std::stoi(device_info_.substr(comma + 1));
  if (tapped) {
    proxy_ = std::make_unique<joystick_sim::ManglingTcpProxy>(port_, lifetime);
    device_info_ = host() + "," + std::to_string(proxy_->port());
  }
}

LoopbackJoystick::~LoopbackJoystick() = default;

joystick_sim::ReplyMangling* LoopbackJoystick::mangling() {
  if (proxy_) return &proxy_->mangling();
  return tap_ ? &tap_->mangling() : nullptr;
}

void LoopbackJoystick::setStickX(int16_t value) { joystick_->setStick({value, 0, 0, 0, 0, 0}); }

void LoopbackJoystick::setButton(joystick_sim::Button button, bool down) {
  joystick_->setButton(button, down);
}

void LoopbackJoystick::unplug() { joystick_->dropConnection(); }

}  // namespace velk::bench
