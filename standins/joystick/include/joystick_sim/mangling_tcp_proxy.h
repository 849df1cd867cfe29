#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "joystick_sim/byte_relay.h"
#include "joystick_sim/reply_mangling.h"

namespace velk::joystick_sim {

// A TCP proxy on 127.0.0.1 (port picked by the kernel) in front of a slave
// on 127.0.0.1:`slave_port`, through which replies can be damaged on their
// way back: shortened, lengthened, or anything a ReplyMangling does. Each
// accepted master gets a fresh connection to the slave; a newer master
// replaces the older one. The threads end on destruction or after
// `lifetime`.
//
//   TcpSlave slave;
//   ManglingTcpProxy proxy(slave.port());
//   ... device_info = "127.0.0.1," + std::to_string(proxy.port())
//   proxy.mangling().set(ReplyMangling::appendBytes({0, 0}));
class ManglingTcpProxy {
 public:
  explicit ManglingTcpProxy(int slave_port,
                            std::chrono::seconds lifetime = std::chrono::seconds(60));
  ~ManglingTcpProxy();
  ManglingTcpProxy(const ManglingTcpProxy&) = delete;
  ManglingTcpProxy& operator=(const ManglingTcpProxy&) = delete;

  int port() const { return port_; }
  ReplyMangling& mangling() { return *mangling_; }

 private:
  void run(std::chrono::steady_clock::time_point deadline);

  int slave_port_;
  std::chrono::seconds lifetime_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::shared_ptr<ReplyMangling> mangling_ = std::make_shared<ReplyMangling>();
  std::atomic<bool> stop_{false};
  std::unique_ptr<ByteRelay> relay_;
  std::thread thread_;
};

}  // namespace velk::joystick_sim
