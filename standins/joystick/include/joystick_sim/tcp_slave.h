#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "joystick_sim/modbus_slave.h"

namespace velk::joystick_sim {

// A Modbus TCP slave (libmodbus server) on 127.0.0.1 at a port the kernel
// picks, served on a thread of its own. Tables, request log and faults: see
// ModbusSlave. It answers every unit number, like most TCP devices.
//
//   TcpSlave slave;                          // listening when constructed
//   ModbusDevice device(log, slave.host(), slave.port(), 2, 200);
//   slave.setHoldingRegister(512, 7);
//
// Connection faults (each returns once the serving thread has carried it out,
// or after 15 s):
//  - dropClients(): closes every client connection made so far (also one
//    the kernel has completed but the slave not yet accepted); the master's
//    next request finds the connection reset.
//  - setRefuseConnections(true): new connections are accepted and closed at
//    once (not counted in connectionsAccepted).
//  - stopListening() / startListening(): closes the listening socket (connects
//    are refused by the kernel) and opens it again on the same port.
//    Open client connections stay.
//
// The thread ends on destruction or, at the latest, when `lifetime` has
// passed, so a forgotten slave never outlives its user by much.
class TcpSlave : public ModbusSlave {
 public:
  explicit TcpSlave(int unit = kDefaultUnit,
                    std::chrono::seconds lifetime = std::chrono::seconds(60));
  ~TcpSlave() override;

  std::string host() const { return "127.0.0.1"; }
  int port() const { return port_.load(); }
  // The "device_info" that reaches it ("127.0.0.1,<port>"), and the name the
  // bundle's registry gives that device ("127.0.0.1:<port>").
  std::string deviceInfo() const { return host() + "," + std::to_string(port()); }
  std::string deviceName() const { return host() + ":" + std::to_string(port()); }

  void dropClients();
  void setRefuseConnections(bool refuse);
  void stopListening();
  // False if the port could not be bound again.
  bool startListening();

  // Connections accepted and kept, since construction.
  int connectionsAccepted() const { return accepted_.load(); }

 private:
  bool listen(int port);
  void run(std::chrono::steady_clock::time_point deadline);
  void pollOnce();
  void acceptClient();
  void acceptPending();
  bool serveClient(int fd);
  void closeClients();
  void runCommands();
  bool onServer(std::function<void()> command);

  int listen_fd_ = -1;
  std::atomic<int> port_{0};
  modbus_t* context_ = nullptr;
  std::vector<int> clients_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> refuse_{false};
  std::atomic<int> accepted_{0};
  std::mutex commands_mutex_;
  std::condition_variable commands_done_;
  std::vector<std::function<void()>> commands_;
  unsigned long commands_posted_ = 0;
  unsigned long commands_run_ = 0;
  std::thread thread_;
};

}  // namespace velk::joystick_sim
