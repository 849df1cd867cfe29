#pragma once

#include <chrono>
#include <vector>

namespace velk::bench {

// One Modbus master request made by any thread of this process, timed from
// the call into libmodbus to its return (request out, reply in).
struct ModbusCall {
  int function = 0;  // 1 coils, 2 discrete inputs, 3 holding, 4 input registers, 5, 6 writes
  int address = 0;
  int count = 0;  // registers or bits read; the value written for 5 and 6
  int result = 0;
  int tid = 0;  // kernel thread id of the caller
  std::chrono::steady_clock::time_point start;
  std::chrono::steady_clock::time_point end;

  double milliseconds() const;
  // A read of input registers whose span covers `address`.
  bool readsInputRegister(int address) const;
};

// The record of libmodbus master calls, fed by the read and write functions
// that this executable defines in place of libmodbus's (modbus_call_log.cpp):
// the bundle, loaded later, binds to them, so every request of its poll
// thread is timed without touching the bundle. A fixed ring of entries,
// filled without allocating; the oldest are overwritten beyond it.
class ModbusCallLog {
 public:
  static constexpr std::size_t kCapacity = 1u << 16;

  // Calls recorded since the last clear(), oldest first.
  static std::vector<ModbusCall> calls();
  // The same, only those made by thread `tid`.
  static std::vector<ModbusCall> callsOfThread(int tid);
  static void clear();
  // Recording on (the default) or off. Each entry recorded touches the ring
  // further, so a run that measures resident size over minutes turns it off:
  // otherwise the ring's pages, filled one after another, show as growth.
  static void setRecording(bool on);
};

}  // namespace velk::bench
