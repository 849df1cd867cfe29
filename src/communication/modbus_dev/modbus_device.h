#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/log_callback.h"
#include "communication/modbus_dev/address_type.h"
#include "communication/modbus_dev/group_table.h"
#include "communication/modbus_dev/line_pace.h"
#include "communication/modbus_dev/modbus_link.h"
#include "communication/modbus_dev/modbus_result.h"
#include "communication/modbus_dev/modbus_signal.h"
#include "communication/modbus_dev/raw_request_queue.h"
#include "communication/modbus_dev/refused_ranges.h"
#include "communication/modbus_dev/silence_watch.h"

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
// Schedule: the elapsed time handed to the passes is the time since the
// previous pass began (the poll thread measures it). A group is due at fixed
// times, one period apart: a late read does not push the next one back, and
// a group more than a period behind is read once and re-based. Within a
// pass the due groups are read fastest first, so the stick axes come first
// when the line cannot carry everything.
//
// Line faults the device copes with on its own:
//  - a slave that refuses a group read with illegal data address while its
//    signals read fine alone (it serves only its documented addresses): the
//    run is read as the runs of addresses that have signals, for as long as
//    the connection lasts, after one Warning;
//  - a slave that does not answer: after a request has timed out, the rest
//    of the pass sends nothing, so a pass costs at most one response
//    time-out; from the second time-out in a row one Warning says so, one
//    Info when it answers again;
//  - a line too slow for the rates asked: one Warning with the time of a
//    request and the rate achieved (transactionSeconds, fastestGroupRate).
// A written output is not written again before one period of its signal
// has passed: its group's read confirms it meanwhile.
//
// Threads: the poll thread calls isConnected, hasSignals, hasRawRequests,
// setDebugMode, reconnect, the four passes (checkErrSignalsAddedToGroup,
// readAllSignals, checkIfRegroupNeeded, writeAllSignals), secondsUntilDue,
// close and the destructor. The registry's thread calls addSignal, deleteSignal,
// refreshSignalsGroup, updateSignalFrequency, addRawRequest, getIP and
// getPort. Locks: group lock before signal-map lock, always. The caller side
// takes them co-aware (a periodic task yields instead of blocking its
// thread); the poll side blocks. The raw-request queue has a lock of its own
// that is never held across I/O.
class ModbusDevice {
 public:
  // A run of contiguous addresses of one address space, read with a single
  // request when its countdown runs out (group_table.h).
  using Group = ReadGroup;
  // Keyed by update frequency in hertz: at most one group per frequency.
  using GroupMap = ReadGroupMap;
  // The clock that times requests and reads; steady_clock's by default.
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // A group never reaches this many addresses.
  static constexpr int kBitGroupLimit = GroupTable::kBitGroupLimit;
  static constexpr int kRegisterGroupLimit = GroupTable::kRegisterGroupLimit;

  ModbusDevice();
  ModbusDevice(LogCallback log, const std::string& host, int port, int slave,
               int response_timeout_ms);
  ModbusDevice(LogCallback log, const std::string& serial_path, int baud, char parity,
               int data_bits, int stop_bits, int slave, int response_timeout_ms);
  // A device that reaches its slave through `link`, timed by `clock`.
  ModbusDevice(LogCallback log, std::unique_ptr<ModbusLink> link, Clock clock = {});
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

  // The line as measured, for any thread: the smoothed time of one answered
  // request, and how often the fastest group is read (per second); 0 until
  // measured. A service can compare the second with the rate it asked for.
  double transactionSeconds() const { return pace_.transactionSeconds(); }
  double fastestGroupRate() const { return pace_.fastestGroupRate(); }
  // Poll thread: seconds from the start of the last pass until the next
  // read, probe or write falls due (at most one second).
  double secondsUntilDue() const;

  // Connection, through the link.
  int connect();
  // Called on every pass while disconnected; the link attempts connect()
  // now and then (the product's link on every 102nd call). What the device
  // learnt about the slave (refused runs) is forgotten: a new connection
  // may be to another slave.
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
  void forgetSlave();
  bool registryWaiting() const;
  // Reads one group of the address space `space` (0 coils, 1 discrete
  // inputs, 2 holding registers, 3 input registers) if it is due.
  bool readGroupOf(int space, Group& group, int frequency, double elapsed);
  template <typename T, std::size_t N>
  bool readGroup(Group& group, int frequency, const std::function<int(int, int, T*)>& read,
                 double elapsed);
  template <typename T>
  int readRun(const Group& run, const std::function<int(int, int, T*)>& read, T* buffer);
  template <typename T>
  void readPieces(const Group& group, RefusedRanges::Range& refused,
                  const std::function<int(int, int, T*)>& read, T* buffer);
  template <typename T>
  void distribute(const Group& group, int result, const std::function<int(int, int, T*)>& read,
                  T* buffer, std::chrono::steady_clock::time_point read_at);
  bool readsAlone(const RefusedRanges::Range& refused) const;
  // The addresses of the healthy signals in the group's run.
  std::vector<int> healthyAddressesIn(const Group& group) const;
  int fastestFrequency() const;
  // Makes one request through the link, timing it and noting a time-out.
  template <typename Call>
  int exchange(const Call& call);
  void noteAnswer(int result, std::chrono::steady_clock::duration took);
  void probe(const std::string& name, ModbusSignal& signal);
  void sortIn(const std::string& name, ModbusSignal& signal);
  void refuseAddress(const std::string& name, ModbusSignal& signal);
  void writeSingle(const std::string& name, ModbusSignal& signal);
  void markAllSignals(int32_t error_state);
  void sendQueuedRawRequests();

  LogCallback log_;
  std::unique_ptr<ModbusLink> link_;
  Clock clock_;
  // Poll thread only: a request of this pass timed out, so the pass sends
  // nothing more; the slave is silent (logged once per change).
  SilenceWatch silence_{log_, *link_};
  // The line's pace: its two figures are read by other threads, the rest
  // is the poll thread's (noted under the group lock).
  LinePace pace_{log_, *link_};
  std::atomic<bool> regroup_{false};
  // Registry calls waiting for or holding the group or signal-map lock.
  std::atomic<int> registry_waiting_{0};
  // This pass has read for a period of the fastest group already.
  bool defer_slower_reads_ = false;
  // The last request's reply began but stopped short (poll thread).
  bool last_reply_cut_off_ = false;
  double retry_countdown_ = 0.1;
  mutable std::mutex signal_mutex_;
  std::map<std::string, ModbusSignal*> signals_;
  RawRequestQueue raw_requests_;
  mutable std::mutex group_mutex_;
  GroupTable groups_;
  // Guarded by the group lock; emptied when the connection is made anew.
  RefusedRanges refused_{log_, *link_};
};

}  // namespace velk::zorv_control
