#pragma once

#include <atomic>
#include <chrono>
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

// A clock that moves only when told: the device's, and the scripted link's
// for the time its requests take.
class SteppedClock {
 public:
  std::chrono::steady_clock::time_point now() const { return now_; }
  void advance(std::chrono::steady_clock::duration by) { now_ += by; }

 private:
  std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
};

// A link with no wire behind it, for the device's grouping and pass tests:
// a slave's four tables in memory, the log of the requests the device made
// (as the stand-in slaves log them: a write's count is its value), and the
// answers a test scripts. Like the product's link it sends nothing while not
// connected (kModbusNotConnected, nothing logged), stays lost once an answer
// has lost the connection until the next connect, and switches a coil on
// for any value but 0. Connected from construction; reconnect() connects at
// once. On a stepped clock each request takes the scripted latency, and one
// that gets no reply takes the response time-out (200 ms) and leaves the
// reply in doubt, as the product's link does. One thread drives it; only
// isConnected may be called from another.
class ScriptedLink : public ModbusLink {
 public:
  void set(AddressType type, int address, uint16_t value) { tables_[{type, address}] = value; }
  uint16_t get(AddressType type, int address) const;
  // Requests of `function` (0: any) whose span covers `address` get
  // `result` instead of an answer.
  void rejectAddress(int address, int result, int function = 0) {
    rules_.emplace(address, std::make_pair(function, result));
  }
  void rejectAddresses(int first, int last, int result, int function = 0) {
    for (int address = first; address <= last; ++address) rejectAddress(address, result, function);
  }
  // Requests get no reply while silent, and the next `count` do so anyway.
  void setSilent(bool silent) { silent_ = silent; }
  void loseReplies(int count) { lost_replies_ = count; }
  void useClock(SteppedClock* clock, std::chrono::microseconds latency) {
    clock_ = clock;
    latency_ = latency;
  }
  // The next requests get these results, in order, before any rule;
  // kModbusNotConnected loses the connection.
  void answerNext(const std::vector<int>& results) {
    answers_.insert(answers_.end(), results.begin(), results.end());
  }

  int requestCount() const { return static_cast<int>(requests_.size()); }
  int requestCount(int function, int address, int count) const;
  const std::vector<std::vector<uint8_t>>& rawRequests() const { return raw_requests_; }
  void clearLog() {
    requests_.clear();
    raw_requests_.clear();
  }

  const LinkSettings& settings() const override { return settings_; }
  bool isConnected() const override { return connected_.load(); }
  std::string connectionProblem() const override { return {}; }
  void setDebugMode(bool) override {}
  int connect() override {
    connected_ = true;
    return kModbusOk;
  }
  int reconnect() override { return connect(); }
  void close() override { connected_ = false; }
  int connectTcp(const char*, int, int, int) override { return connect(); }
  int connectRtu(const char*, int, char, int, int, int, int) override { return connect(); }
  int readBits(int a, int n, uint8_t* d) override { return read(1, AddressType::Coil, a, n, d); }
  int readInputBits(int a, int n, uint8_t* d) override {
    return read(2, AddressType::DiscreteInput, a, n, d);
  }
  int readRegisters(int a, int n, uint16_t* d) override {
    return read(3, AddressType::HoldingRegister, a, n, d);
  }
  int readInputRegisters(int a, int n, uint16_t* d) override {
    return read(4, AddressType::InputRegister, a, n, d);
  }
  int writeBit(int a, int value) override { return write(5, AddressType::Coil, a, value != 0); }
  int writeRegister(int a, int value) override {
    return write(6, AddressType::HoldingRegister, a, static_cast<uint16_t>(value));
  }
  int sendRawRequest(const uint8_t* request, int length) override;
  // No libmodbus call fails here, so errno says nothing, and no reply is
  // ever damaged: the drain and its retry are the wire tests'.
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

  LinkSettings settings_ = LinkSettings::overSerialLine("/dev/ttyUSB0", 115200, 'N', 8, 1, 2, 200);
  SteppedClock* clock_ = nullptr;
  std::chrono::microseconds latency_{0};
  bool silent_ = false;
  int lost_replies_ = 0;
  bool in_doubt_ = false;
  std::atomic<bool> connected_{true};
  std::map<std::pair<AddressType, int>, uint16_t> tables_;
  std::multimap<int, std::pair<int, int>> rules_;  // address: function, result
  std::deque<int> answers_;
  std::vector<joystick_sim::SlaveRequest> requests_;
  std::vector<std::vector<uint8_t>> raw_requests_;
};

}  // namespace velk::zorv_control::testkit
