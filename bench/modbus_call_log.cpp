#include "bench/modbus_call_log.h"

#include <dlfcn.h>
#include <modbus.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace velk::bench {
namespace {

struct Entry {
  std::atomic<uint64_t> sequence;  // index + 1 once the entry is complete
  int function;
  int address;
  int count;
  int result;
  int tid;
  int64_t start_ns;
  int64_t end_ns;
};

Entry g_entries[ModbusCallLog::kCapacity];
std::atomic<uint64_t> g_next{0};
std::atomic<uint64_t> g_first{0};
std::atomic<bool> g_recording{true};
thread_local int t_tid = 0;

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::chrono::steady_clock::time_point pointOf(int64_t ns) {
  return std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::nanoseconds(ns)));
}

void record(int function, int address, int count, int result, int64_t start_ns, int64_t end_ns) {
  if (!g_recording.load(std::memory_order_relaxed)) return;
  if (t_tid == 0) t_tid = static_cast<int>(gettid());
  const uint64_t index = g_next.fetch_add(1, std::memory_order_relaxed);
  Entry& entry = g_entries[index % ModbusCallLog::kCapacity];
  entry.sequence.store(0, std::memory_order_relaxed);
  entry.function = function;
  entry.address = address;
  entry.count = count;
  entry.result = result;
  entry.tid = t_tid;
  entry.start_ns = start_ns;
  entry.end_ns = end_ns;
  entry.sequence.store(index + 1, std::memory_order_release);
}

// libmodbus's own definition of `name`, the next one after this executable's.
template <class Function>
Function next(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  Function function = nullptr;
  static_assert(sizeof(function) == sizeof(symbol), "function and data pointers differ in size");
  std::memcpy(&function, &symbol, sizeof(function));
  return function;
}

template <class Call>
int timed(int function, int address, int count, Call call) {
  const int64_t start = nowNs();
  const int result = call();
  record(function, address, count, result, start, nowNs());
  return result;
}

}  // namespace

double ModbusCall::milliseconds() const {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

bool ModbusCall::readsInputRegister(int register_address) const {
  return function == 4 && address <= register_address && register_address < address + count;
}

std::vector<ModbusCall> ModbusCallLog::calls() {
  const uint64_t last = g_next.load(std::memory_order_acquire);
  uint64_t first = g_first.load(std::memory_order_relaxed);
  if (last > first + kCapacity) first = last - kCapacity;
  std::vector<ModbusCall> out;
  out.reserve(last - first);
  for (uint64_t i = first; i < last; ++i) {
    const Entry& entry = g_entries[i % kCapacity];
    if (entry.sequence.load(std::memory_order_acquire) != i + 1) continue;  // still being written
    ModbusCall call;
    call.function = entry.function;
    call.address = entry.address;
    call.count = entry.count;
    call.result = entry.result;
    call.tid = entry.tid;
    call.start = pointOf(entry.start_ns);
    call.end = pointOf(entry.end_ns);
    out.push_back(call);
  }
  return out;
}

std::vector<ModbusCall> ModbusCallLog::callsOfThread(int tid) {
  std::vector<ModbusCall> out;
  for (const ModbusCall& call : calls()) {
    if (call.tid == tid) out.push_back(call);
  }
  return out;
}

void ModbusCallLog::clear() {
  g_first.store(g_next.load(std::memory_order_acquire), std::memory_order_relaxed);
}

void ModbusCallLog::setRecording(bool on) { g_recording.store(on, std::memory_order_relaxed); }

}  // namespace velk::bench

using velk::bench::next;
using velk::bench::timed;

extern "C" {

int modbus_read_bits(modbus_t* ctx, int addr, int nb, uint8_t* dest) {
  static const auto real = next<int (*)(modbus_t*, int, int, uint8_t*)>("modbus_read_bits");
  return timed(1, addr, nb, [&] { return real(ctx, addr, nb, dest); });
}

int modbus_read_input_bits(modbus_t* ctx, int addr, int nb, uint8_t* dest) {
  static const auto real = next<int (*)(modbus_t*, int, int, uint8_t*)>("modbus_read_input_bits");
  return timed(2, addr, nb, [&] { return real(ctx, addr, nb, dest); });
}

int modbus_read_registers(modbus_t* ctx, int addr, int nb, uint16_t* dest) {
  static const auto real = next<int (*)(modbus_t*, int, int, uint16_t*)>("modbus_read_registers");
  return timed(3, addr, nb, [&] { return real(ctx, addr, nb, dest); });
}

int modbus_read_input_registers(modbus_t* ctx, int addr, int nb, uint16_t* dest) {
  static const auto real =
      next<int (*)(modbus_t*, int, int, uint16_t*)>("modbus_read_input_registers");
  return timed(4, addr, nb, [&] { return real(ctx, addr, nb, dest); });
}

int modbus_write_bit(modbus_t* ctx, int coil_addr, int status) {
  static const auto real = next<int (*)(modbus_t*, int, int)>("modbus_write_bit");
  return timed(5, coil_addr, status != 0 ? 1 : 0, [&] { return real(ctx, coil_addr, status); });
}

int modbus_write_register(modbus_t* ctx, int reg_addr, const uint16_t value) {
  static const auto real = next<int (*)(modbus_t*, int, uint16_t)>("modbus_write_register");
  return timed(6, reg_addr, value, [&] { return real(ctx, reg_addr, value); });
}

}  // extern "C"
