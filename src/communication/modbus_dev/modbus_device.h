#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/log_callback.h"
#include "communication/modbus_dev/address_type.h"
#include "communication/modbus_dev/modbus_link.h"
#include "communication/modbus_dev/modbus_result.h"
#include "communication/modbus_dev/modbus_signal.h"

namespace velk::zorv_control {

// One Modbus slave as the registry sees it: the signals attached to it, the
// read groups that fetch them in batches, the poll passes that read, probe,
// regroup and write them on their schedule, and a queue of raw requests.
// The wire to the slave (connection, requests, errno mapping, time-outs) is
// its link's; the device reaches the slave only through it.
//
// Every operation that talks to the slave returns a ModbusResult code
// (modbus_result.h); the connection and single-request operations here are
// the link's, handed through.
//
// Signal addresses must lie in 0..65535: libmodbus would send only the low
// 16 bits, i.e. another address. A signal outside that range is logged, set
// to error state 2 and never grouped, probed or written.
//
// Threads: the poll thread calls isConnected, hasSignals, hasRawRequests,
// setDebugMode, reconnect, the four passes (checkErrSignalsAddedToGroup,
// readAllSignals, checkIfRegroupNeeded, writeAllSignals), close and the
// destructor. The registry's thread calls addSignal, deleteSignal,
// refreshSignalsGroup, updateSignalFrequency, addRawRequest, getIP and
// getPort. Locks: group lock before signal-map lock, always. The caller side
// takes them co-aware (a periodic task yields instead of blocking its
// thread); the poll side blocks. The raw-request queue has a lock of its own
// that is never held across I/O.
class ModbusDevice {
 public:
  // A run of contiguous addresses of one address space, read with a single
  // request when its countdown runs out.
  struct Group {
    uint16_t start = 0;
    uint16_t end = 0;        // inclusive
    double countdown = 0.0;  // seconds until the next read
    AddressType type = AddressType::DiscreteInput;
  };
  // Keyed by update frequency in hertz: at most one group per frequency.
  using GroupMap = std::map<int, Group>;

  // A group never reaches this many addresses.
  static constexpr int kBitGroupLimit = 256;
  static constexpr int kRegisterGroupLimit = 100;

  ModbusDevice();
  ModbusDevice(LogCallback log, const std::string& host, int port, int slave,
               int response_timeout_ms);
  ModbusDevice(LogCallback log, const std::string& serial_path, int baud, char parity,
               int data_bits, int stop_bits, int slave, int response_timeout_ms);
  // A device that reaches its slave through `link`.
  ModbusDevice(LogCallback log, std::unique_ptr<ModbusLink> link);
  // Closes the link (logging that it did); the attached signals stay alive,
  // the registry owns them. Nothing is sent to the slave.
  ~ModbusDevice();

  ModbusDevice(const ModbusDevice&) = delete;
  ModbusDevice& operator=(const ModbusDevice&) = delete;

  bool isConnected() const;
  bool hasSignals() const;
  bool hasRawRequests() const;
  std::string getIP() const;
  int getPort() const;
  // Takes effect at the next connect.
  void setDebugMode(bool debug);

  // Connection, through the link.
  int connect();
  // Called on every pass while disconnected; the link attempts connect()
  // now and then (the product's link on every 102nd call).
  int reconnect();
  void close();
  int connectTcp(const char* host, int port, int slave, int response_timeout_ms);
  int connectRtu(const char* serial_path, int baud, char parity, int data_bits, int stop_bits,
                 int slave, int response_timeout_ms);
  // Why the last connection attempt failed, as the system or libmodbus says
  // it; empty before the first attempt and while connected. Any thread.
  std::string connectionProblem() const;

  // Single requests, through the link. Bit reads fill one byte (0 or 1) per
  // bit.
  int readBits(int addr, int nb, uint8_t* dest);
  int readInputBits(int addr, int nb, uint8_t* dest);
  int readRegisters(int addr, int nb, uint16_t* dest);
  int readInputRegisters(int addr, int nb, uint16_t* dest);
  int writeBit(int addr, int value);
  int writeRegister(int addr, int value);
  // Sends one raw request (unit, function, data; the link adds the framing)
  // and consumes its reply, so that a later request does not meet it.
  int sendRawRequest(const uint8_t* request, int length);
  // Maps the calling thread's errno after a failed libmodbus call to a result
  // code; EIO and unknown errnos declare the connection lost.
  int checkErrno();

  // Signals and groups.
  int addSignal(ModbusSignal* signal);
  int deleteSignal(const std::string& name);
  int updateSignalFrequency(ModbusSignal* signal);
  int refreshSignalsGroup();
  int checkIfRegroupNeeded();

  // Poll passes; elapsed is the nominal poll period in seconds.
  int readAllSignals(double elapsed);
  int checkErrSignalsAddedToGroup(double elapsed);
  int writeAllSignals(double elapsed);
  int addRawRequest(const std::vector<uint8_t>& request);

  // Grouping primitives; the caller holds the locks that guard `groups`.
  // groupSignal puts a signal into the group of its own update frequency,
  // growing the run up to below `limit`, unless the run of a faster group
  // already covers its address; a group of another frequency never grows
  // for it, and a slower one never takes it.
  void groupSignal(GroupMap& groups, ModbusSignal* signal, AddressType type, int limit);
  void groupReset(GroupMap& groups);
  // Reads the due groups of one map with `read` into a buffer of N elements
  // of T and hands the values to the signals in each run. Instantiated for
  // <uint8_t, kBitGroupLimit> and <uint16_t, kRegisterGroupLimit> only. The
  // caller holds the group lock (readAllSignals does); this takes the
  // signal-map lock around each group's distribution.
  template <typename T, std::size_t N>
  int readGroups(GroupMap& groups, std::function<int(int, int, T*)> read, double elapsed);

 private:
  template <typename T>
  void distribute(const Group& group, int result, const std::function<int(int, int, T*)>& read,
                  T* buffer, std::chrono::steady_clock::time_point read_at);
  void probe(const std::string& name, ModbusSignal& signal);
  void sortIn(const std::string& name, ModbusSignal& signal);
  // The highest update frequency below `below` among the healthy signals; 0
  // when there is none. The signal-map lock must be held.
  int nextLowerFrequency(int below) const;
  void refuseAddress(const std::string& name, ModbusSignal& signal);
  GroupMap* groupsFor(AddressType type, int* limit);
  void writeSingle(const std::string& name, ModbusSignal& signal);
  void markAllSignals(int32_t error_state);
  void sendQueuedRawRequests();
  bool popRawRequest(std::vector<uint8_t>& request);
  std::size_t rawRequestCount() const;

  LogCallback log_;
  std::unique_ptr<ModbusLink> link_;
  std::atomic<bool> regroup_{false};
  double retry_countdown_ = 0.1;
  mutable std::mutex signal_mutex_;
  std::map<std::string, ModbusSignal*> signals_;
  mutable std::mutex raw_mutex_;
  std::deque<std::vector<uint8_t>> raw_requests_;
  mutable std::mutex group_mutex_;
  GroupMap coil_groups_;
  GroupMap discrete_input_groups_;
  GroupMap holding_register_groups_;
  GroupMap input_register_groups_;
};

}  // namespace velk::zorv_control
