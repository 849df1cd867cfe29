#include "modbus_dev/scripted_link.h"

#include <algorithm>

namespace velk::zorv_control::testkit {

uint16_t ScriptedLink::get(AddressType type, int address) const {
  const auto found = tables_.find({type, address});
  return found == tables_.end() ? 0 : found->second;
}

void ScriptedLink::rejectAddress(int address, int result, int function) {
  rules_.emplace(address, std::make_pair(function, result));
}

void ScriptedLink::answerNext(const std::vector<int>& results, bool damaged) {
  for (int result : results) answers_.emplace_back(result, damaged);
}

int ScriptedLink::requestCount(int function, int address, int count) const {
  return static_cast<int>(std::count_if(requests_.begin(), requests_.end(), [&](const auto& r) {
    return r.function == function && r.address == address && r.count == count;
  }));
}

void ScriptedLink::clearLog() {
  requests_.clear();
  raw_requests_.clear();
}

int ScriptedLink::connect() {
  connected_ = true;
  in_doubt_ = false;
  return kModbusOk;
}

int ScriptedLink::sendRawRequest(const uint8_t* request, int length) {
  if (!connected_) return kModbusNotConnected;
  raw_requests_.emplace_back(request, request + length);
  return answer({}, 0);
}

int ScriptedLink::write(int function, AddressType type, int addr, uint16_t value) {
  const int result = answer({function, addr, value}, 1);
  if (result == kModbusOk) set(type, addr, value);
  return result;
}

int ScriptedLink::answer(const joystick_sim::SlaveRequest& request, int span) {
  if (!connected_) return kModbusNotConnected;
  if (span > 0) requests_.push_back(request);
  std::pair<int, bool> next{kModbusOk, false};
  for (auto rule = rules_.lower_bound(request.address);
       rule != rules_.end() && rule->first < request.address + span; ++rule) {
    if (rule->second.first == 0 || rule->second.first == request.function) {
      next.first = rule->second.second;
      break;
    }
  }
  if (!answers_.empty()) {
    next = answers_.front();
    answers_.pop_front();
  }
  in_doubt_ = next.second;
  if (next.first == kModbusNotConnected) connected_ = false;
  return next.first;
}

}  // namespace velk::zorv_control::testkit
