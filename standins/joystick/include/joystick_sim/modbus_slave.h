#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace velk::joystick_sim {

// One request as the slave received it.
struct SlaveRequest {
  int function = 0;  // Modbus function code (1..6, or whatever a raw request carried)
  int address = 0;   // start address (0 when the request is too short to hold one)
  int count = 0;     // quantity for functions 1..4; the value for 5 (0/1) and 6
};

// One single write (function 5 or 6) as the slave received it, whether
// or not it was then answered normally.
struct SlaveWrite {
  int function = 0;  // 5: coil, 6: holding register
  int address = 0;
  int value = 0;  // 5: 0 or 1; 6: the 16-bit register value
};

// What a stand-in Modbus slave has in common over TCP and RTU: the four
// tables, the request log and the faults its user can switch on at run time
// (the simulated joystick, and tests that want a bare slave). Every
// public operation is thread-safe and may be called while the slave serves.
//
// Tables cover addresses 0..kTableSize-1 in each of coils, discrete inputs,
// holding registers and input registers; a read beyond them gets the
// exception illegal data address, as from a real device. The accessors throw
// std::out_of_range for addresses outside the tables.
//
// Faults (all off at construction; they apply to requests received after
// the call):
//  - answerAllWithException(code): every request is answered with the Modbus
//    exception `code` (1..11); 0 switches it off.
//  - rejectAddress(address, code, function): a request whose span (start ..
//    start + count - 1 for reads, the address for writes) covers `address`
//    is answered with exception `code`; `function` 0 matches any function,
//    otherwise only that function code. code 0 removes the rule.
//  - setSilent(true): requests are logged but never answered; the master
//    runs into its response time-out.
//  - setReplyDelay(d): every answer leaves d later (capped at 10 s; the wait
//    ends early when the slave is destroyed).
//  - setSilentToOtherUnits(true): requests for another unit number than
//    the slave's are logged but never answered, as from a device set to
//    another slave number (over RTU libmodbus ignores them anyway).
// Faults are checked in this order: silent, exception for all, rejected
// address, then the normal answer after the delay.
class ModbusSlave {
 public:
  static constexpr int kDefaultUnit = 2;
  static constexpr int kTableSize = 1024;

  virtual ~ModbusSlave();
  ModbusSlave(const ModbusSlave&) = delete;
  ModbusSlave& operator=(const ModbusSlave&) = delete;

  void setCoil(int address, bool on);
  bool coil(int address) const;
  void setHoldingRegister(int address, uint16_t value);
  uint16_t holdingRegister(int address) const;
  void setInputRegister(int address, uint16_t value);
  uint16_t inputRegister(int address) const;

  // Every request received, in order of arrival.
  std::vector<SlaveRequest> requests() const;
  // Every single write received (functions 5 and 6), in order of arrival.
  std::vector<SlaveWrite> writes() const;
  int requestCount() const;
  int requestCount(int function) const;
  int requestCount(int function, int address, int count) const;
  void clearLog();
  // Waits until at least `total` requests have been logged; false on timeout.
  bool waitForRequests(int total, std::chrono::milliseconds timeout) const;
  // The same, counting the requests of one function only.
  bool waitForRequests(int function, int total, std::chrono::milliseconds timeout) const;

  void answerAllWithException(int exception_code);
  void rejectAddress(int address, int exception_code, int function = 0);
  void setSilent(bool silent);
  void setReplyDelay(std::chrono::milliseconds delay);
  void setSilentToOtherUnits(bool silent);
  void clearFaults();

  int unit() const { return unit_; }

 protected:
  explicit ModbusSlave(int unit);

  // Logs `request` (length bytes as modbus_receive returned it), applies the
  // faults and answers on `context`. Call on the serving thread only.
  void serve(modbus_t* context, const uint8_t* request, int length);
  // Ends a reply delay in progress; derived destructors call it first.
  void interruptDelays();

 private:
  struct Rule {
    int exception_code = 0;
    int function = 0;
  };
  enum class Verdict { kSilent, kException, kAnswer };

  SlaveRequest parse(modbus_t* context, const uint8_t* request, int length) const;
  Verdict judge(const SlaveRequest& request, int* exception_code) const;
  void record(const SlaveRequest& request);
  bool waitDelay();
  bool ignoresUnitOf(modbus_t* context, const uint8_t* request, int length) const;
  // The table entry at `address`, under the caller's lock.
  template <typename T>
  T& cell(T* table, int address) const;
  // Requests of `function`; of that span too when `address` is 0 or more.
  int countLocked(int function, int address = -1, int count = 0) const;

  const int unit_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  modbus_mapping_t* mapping_ = nullptr;
  std::vector<SlaveRequest> requests_;
  std::vector<SlaveWrite> writes_;
  bool silent_ = false;
  bool silent_to_other_units_ = false;
  int exception_for_all_ = 0;
  std::multimap<int, Rule> rejected_;
  std::chrono::milliseconds delay_{0};
  bool interrupted_ = false;
};

}  // namespace velk::joystick_sim
