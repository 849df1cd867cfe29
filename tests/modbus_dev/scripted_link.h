#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "communication/modbus_dev/address_type.h"
#include "communication/modbus_dev/modbus_link.h"
#include "communication/modbus_dev/modbus_result.h"
#include "joystick_sim/modbus_slave.h"

namespace velk::zorv_control::testkit {

// A link with no wire behind it, for the device's grouping and pass tests:
// a slave's four tables in memory, the log of the requests the device made
// (as the stand-in slaves log them: a write's count is its value), and the
// answers a test scripts. Like the product's link it sends nothing while not
// connected (kModbusNotConnected, nothing logged), stays lost once an answer
// has lost the connection until the next connect, and switches a coil on
// for any value but 0. Connected from construction; reconnect() connects at
// once. One thread drives it; only isConnected may be called from another.
class ScriptedLink : public ModbusLink {
 public:
  void set(AddressType type, int address, uint16_t value) { tables_[{type, address}] = value; }
  uint16_t get(AddressType type, int address) const;
  // Requests of `function` (0: any) whose span covers `address` get
  // `result` instead of an answer.
  void rejectAddress(int address, int result, int function = 0);
  // The next requests get these results, in order, before any rule;
  // kModbusNotConnected loses the connection. `damaged`: the replies were
  // damaged, and the link is in doubt after them.
  void answerNext(const std::vector<int>& results, bool damaged = false);

  int requestCount() const { return static_cast<int>(requests_.size()); }
  int requestCount(int function, int address, int count) const;
  const std::vector<std::vector<uint8_t>>& rawRequests() const { return raw_requests_; }
  void clearLog();

  const LinkSettings& settings() const override { return settings_; }
  bool isConnected() const override { return connected_.load(); }
  std::string connectionProblem() const override { return {}; }
  void setDebugMode(bool) override {}
  int connect() override;
  int reconnect() override { return connect(); }
  void close() override { connected_ = false; }
  int connectTcp(const char*, int, int, int) override { return connect(); }
  int connectRtu(const char*, int, char, int, int, int, int) override { return connect(); }
  int readBits(int addr, int nb, uint8_t* dest) override {
    return read(1, AddressType::Coil, addr, nb, dest);
  }
  int readInputBits(int addr, int nb, uint8_t* dest) override {
    return read(2, AddressType::DiscreteInput, addr, nb, dest);
  }
  int readRegisters(int addr, int nb, uint16_t* dest) override {
    return read(3, AddressType::HoldingRegister, addr, nb, dest);
  }
  int readInputRegisters(int addr, int nb, uint16_t* dest) override {
    return read(4, AddressType::InputRegister, addr, nb, dest);
  }
  int writeBit(int addr, int value) override {
    return write(5, AddressType::Coil, addr, value != 0 ? 1 : 0);
  }
  int writeRegister(int addr, int value) override {
    return write(6, AddressType::HoldingRegister, addr, static_cast<uint16_t>(value));
  }
  int sendRawRequest(const uint8_t* request, int length) override;
  // No libmodbus call fails here, so errno says nothing.
  int checkErrno() override { return kModbusOk; }
  bool lastReplyInDoubt() const override { return in_doubt_; }

 private:
  template <typename T>
  int read(int function, AddressType type, int addr, int nb, T* dest) {
    if (nb <= 0) return kModbusOk;
    const int result = answer({function, addr, nb}, nb);
    for (int i = 0; result == kModbusOk && i < nb; ++i)
      dest[i] = static_cast<T>(get(type, addr + i));
    return result;
  }
  int write(int function, AddressType type, int addr, uint16_t value);
  // Logs the request (unless it has no span: a raw one) and decides its result.
  int answer(const joystick_sim::SlaveRequest& request, int span);

  LinkSettings settings_;
  std::atomic<bool> connected_{true};
  bool in_doubt_ = false;
  std::map<std::pair<AddressType, int>, uint16_t> tables_;
  std::multimap<int, std::pair<int, int>> rules_;  // address: function, result
  std::deque<std::pair<int, bool>> answers_;       // result, damaged
  std::vector<joystick_sim::SlaveRequest> requests_;
  std::vector<std::vector<uint8_t>> raw_requests_;
};

}  // namespace velk::zorv_control::testkit
