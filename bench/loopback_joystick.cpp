#include "bench/loopback_joystick.h"

namespace velk::bench {

using joystick_sim::SimulatedJoystick;

namespace {

constexpr int kPacedBaud = 115200;

}  // namespace

LoopbackJoystick::LoopbackJoystick(Transport transport, std::chrono::seconds lifetime, bool tapped,
                                   int reply_latency_ms)
    : transport_(transport) {
  const bool paced = transport == Transport::kRtu && reply_latency_ms >= 0;
  if (transport == Transport::kRtu && (tapped || paced)) {
    joystick_sim::LineTiming timing;
    if (paced) {
      timing.per_byte = joystick_sim::LineTiming::byteTime(kPacedBaud);
      timing.reply_latency = std::chrono::milliseconds(reply_latency_ms);
    }
    tap_ = std::make_unique<joystick_sim::SerialLineTap>(lifetime, timing);
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
