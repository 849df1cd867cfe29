#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "communication/modbus_dev/address_type.h"

namespace velk::zorv_control {

// One named value at one address of one Modbus address space.
//
// The registry creates, owns and fills a signal; a device holds it by a
// non-owning pointer. Two threads touch it at once: the registry's thread
// (attach, re-address, set output, read snapshots) and the device's poll
// thread (values, error states, output confirmation). Every field that both
// sides use is therefore atomic, so neither side needs the other's lock to
// read or write it:
//
//  - name and device_name are plain strings: the registry writes them only
//    before the signal is attached (device_name also on a move, while the
//    signal is detached from its old device); the device never reads them
//    and uses its own map key instead.
//  - type, address and update_frequency are written by the registry (on
//    re-add or frequency change, followed by a regroup of the device) and
//    read by the poll thread.
//  - value and error_state are written by the poll thread and read by the
//    registry's snapshot queries; so is the time of the last good read.
//  - write_hold belongs to the poll thread alone: the seconds until a
//    written output may be written again.
//  - The output value and its pending flag live together in ONE atomic word
//    (see setOutput / confirmOutput). Two separate atomics would allow this
//    loss: the poll thread reads value V1, sees it equals the output value,
//    the registry then stores V2 and pending, and the poll thread clears
//    pending, so V2 is never written. With one word, setOutput publishes
//    value and flag in a single store, and confirmOutput clears the flag by
//    compare-exchange only if the word still holds exactly the value that
//    was read back; an output set meanwhile stays pending.
//
// A signal is not copyable (atomics); the registry allocates it with new.
class ModbusSignal {
 public:
  // Error state of a signal that has not been read once yet: keeps it out
  // of the read groups until a probe of its own address has succeeded.
  static constexpr int32_t kNotYetRead = 2;
  static constexpr int32_t kDefaultUpdateFrequency = 10;

  ModbusSignal() = default;
  ModbusSignal(const ModbusSignal&) = delete;
  ModbusSignal& operator=(const ModbusSignal&) = delete;

  // Leaves `output` to be written by the poll thread: stores the value and
  // the pending flag together. A value still pending is replaced; the flag is
  // set even when the value equals the last one written.
  void setOutput(uint16_t output);
  // The value to be written (the latest one set).
  uint16_t outputValue() const;
  // True while a write of outputValue() is outstanding.
  bool outputPending() const;
  // Called with a value just read from the slave: if an output is pending
  // and equals read_value, clears the pending flag and returns true. An
  // output set concurrently with another value stays pending.
  bool confirmOutput(uint16_t read_value);

  // When `value` was last read from the slave (steady clock); the epoch
  // while it never was. Written by the poll thread with each good read.
  void stampRead(std::chrono::steady_clock::time_point when);
  std::chrono::steady_clock::time_point lastRead() const;

  std::string name;
  std::string device_name;
  std::atomic<AddressType> type{AddressType::DiscreteInput};
  std::atomic<int32_t> address{0};
  std::atomic<int32_t> update_frequency{kDefaultUpdateFrequency};
  std::atomic<uint16_t> value{0};
  std::atomic<int32_t> error_state{kNotYetRead};
  double write_hold = 0.0;

 private:
  static constexpr uint32_t kPendingBit = 0x10000u;
  // Low 16 bits: output value; kPendingBit: output pending.
  std::atomic<uint32_t> output_{0};
  std::atomic<std::chrono::steady_clock::rep> last_read_{0};
};

}  // namespace velk::zorv_control
