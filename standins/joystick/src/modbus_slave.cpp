#include "joystick_sim/modbus_slave.h"

#include <modbus/modbus.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace velk::joystick_sim {

namespace {

constexpr std::chrono::milliseconds kLongestDelay{10000};

bool isRead(int function) { return function >= 1 && function <= 4; }
bool isSingleWrite(int function) { return function == 5 || function == 6; }

int lastAddressOf(const SlaveRequest& request) {
  if (isRead(request.function)) return request.address + std::max(request.count, 1) - 1;
  return request.address;
}

}  // namespace

ModbusSlave::ModbusSlave(int unit) : unit_(unit) {
  mapping_ = modbus_mapping_new(kTableSize, kTableSize, kTableSize, kTableSize);
  if (mapping_ == nullptr) throw std::runtime_error("modbus_mapping_new failed");
}

ModbusSlave::~ModbusSlave() { modbus_mapping_free(mapping_); }

template <typename T>
T& ModbusSlave::cell(T* table, int address) const {
  if (address < 0 || address >= kTableSize) {
    throw std::out_of_range("stand-in slave table address " + std::to_string(address));
  }
  return table[address];
}

void ModbusSlave::setCoil(int address, bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  cell(mapping_->tab_bits, address) = on ? 1 : 0;
}

bool ModbusSlave::coil(int address) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cell(mapping_->tab_bits, address) != 0;
}

void ModbusSlave::setHoldingRegister(int address, uint16_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  cell(mapping_->tab_registers, address) = value;
}

uint16_t ModbusSlave::holdingRegister(int address) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cell(mapping_->tab_registers, address);
}

void ModbusSlave::setInputRegister(int address, uint16_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  cell(mapping_->tab_input_registers, address) = value;
}

uint16_t ModbusSlave::inputRegister(int address) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cell(mapping_->tab_input_registers, address);
}

std::vector<SlaveRequest> ModbusSlave::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<SlaveWrite> ModbusSlave::writes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

int ModbusSlave::requestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(requests_.size());
}

int ModbusSlave::countLocked(int function, int address, int count) const {
  return static_cast<int>(
      std::count_if(requests_.begin(), requests_.end(), [&](const SlaveRequest& r) {
        return r.function == function &&
               (address < 0 || (r.address == address && r.count == count));
      }));
}

int ModbusSlave::requestCount(int function) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return countLocked(function);
}

int ModbusSlave::requestCount(int function, int address, int count) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return countLocked(function, address, count);
}

void ModbusSlave::clearLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
  writes_.clear();
}

bool ModbusSlave::waitForRequests(int total, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout,
                           [&] { return static_cast<int>(requests_.size()) >= total; });
}

bool ModbusSlave::waitForRequests(int function, int total,
                                  std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return countLocked(function) >= total; });
}

void ModbusSlave::answerAllWithException(int exception_code) {
  std::lock_guard<std::mutex> lock(mutex_);
  exception_for_all_ = exception_code;
}

void ModbusSlave::rejectAddress(int address, int exception_code, int function) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto range = rejected_.equal_range(address);
  for (auto it = range.first; it != range.second;) {
    it = it->second.function == function ? rejected_.erase(it) : std::next(it);
  }
  if (exception_code != 0) rejected_.emplace(address, Rule{exception_code, function});
}

void ModbusSlave::setSilent(bool silent) {
  std::lock_guard<std::mutex> lock(mutex_);
  silent_ = silent;
}

void ModbusSlave::setReplyDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(mutex_);
  delay_ = std::clamp(delay, std::chrono::milliseconds(0), kLongestDelay);
}

void ModbusSlave::setSilentToOtherUnits(bool silent) {
  std::lock_guard<std::mutex> lock(mutex_);
  silent_to_other_units_ = silent;
}

bool ModbusSlave::ignoresUnitOf(modbus_t* context, const uint8_t* request, int length) const {
  // The unit number is the last byte of the header, over TCP and RTU alike.
  const int offset = modbus_get_header_length(context);
  std::lock_guard<std::mutex> lock(mutex_);
  return silent_to_other_units_ && offset > 0 && length >= offset && request[offset - 1] != unit_;
}

void ModbusSlave::clearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  silent_ = false;
  silent_to_other_units_ = false;
  exception_for_all_ = 0;
  rejected_.clear();
  delay_ = std::chrono::milliseconds(0);
}

void ModbusSlave::interruptDelays() {
  std::lock_guard<std::mutex> lock(mutex_);
  interrupted_ = true;
  changed_.notify_all();
}

void ModbusSlave::serve(modbus_t* context, const uint8_t* request, int length) {
  const SlaveRequest parsed = parse(context, request, length);
  record(parsed);
  if (ignoresUnitOf(context, request, length)) return;
  int exception_code = 0;
  switch (judge(parsed, &exception_code)) {
    case Verdict::kSilent:
      return;
    case Verdict::kException:
      modbus_reply_exception(context, request, static_cast<unsigned int>(exception_code));
      return;
    case Verdict::kAnswer:
      break;
  }
  if (!waitDelay()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  modbus_reply(context, request, length, mapping_);
}

SlaveRequest ModbusSlave::parse(modbus_t* context, const uint8_t* request, int length) const {
  const int offset = modbus_get_header_length(context);
  SlaveRequest parsed;
  if (length > offset) parsed.function = request[offset];
  if (length >= offset + 5) {
    parsed.address = (request[offset + 1] << 8) | request[offset + 2];
    parsed.count = (request[offset + 3] << 8) | request[offset + 4];
  }
  if (parsed.function == 5) parsed.count = parsed.count == 0xFF00 ? 1 : 0;
  return parsed;
}

void ModbusSlave::record(const SlaveRequest& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.push_back(request);
  if (isSingleWrite(request.function)) {
    writes_.push_back(SlaveWrite{request.function, request.address, request.count});
  }
  changed_.notify_all();
}

ModbusSlave::Verdict ModbusSlave::judge(const SlaveRequest& request, int* exception_code) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (silent_) return Verdict::kSilent;
  if (exception_for_all_ != 0) {
    *exception_code = exception_for_all_;
    return Verdict::kException;
  }
  if (!isRead(request.function) && !isSingleWrite(request.function)) return Verdict::kAnswer;
  for (const auto& [address, rule] : rejected_) {
    const bool covered = request.address <= address && address <= lastAddressOf(request);
    if (covered && (rule.function == 0 || rule.function == request.function)) {
      *exception_code = rule.exception_code;
      return Verdict::kException;
    }
  }
  return Verdict::kAnswer;
}

bool ModbusSlave::waitDelay() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (delay_.count() == 0) return !interrupted_;
  return !changed_.wait_for(lock, delay_, [&] { return interrupted_; });
}

}  // namespace velk::joystick_sim
