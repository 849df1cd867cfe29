#include "modbus_dev/scripted_link.h"

#include <algorithm>

namespace velk::zorv_control::testkit {

uint16_t ScriptedLink::get(AddressType type, int address) const {
  const auto found = tables_.find({type, address});
  return found == tables_.end() ? 0 : found->second;
}

int ScriptedLink::requestCount(int function, int address, int count) const {
  return static_cast<int>(std::count_if(requests_.begin(), requests_.end(), [&](const auto& r) {
    return r.function == function && r.address == address && r.count == count;
  }));
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
  in_doubt_ = silent_ || lost_replies_ > 0;
  if (in_doubt_) {
    lost_replies_ = std::max(0, lost_replies_ - 1);
    if (clock_ != nullptr)
      clock_->advance(std::chrono::milliseconds(settings_.response_timeout_ms));
    return kModbusBusyOrTimeout;
  }
  if (clock_ != nullptr) clock_->advance(latency_);
  int result = kModbusOk;
  for (auto rule = rules_.lower_bound(request.address);
       rule != rules_.end() && rule->first < request.address + span; ++rule) {
    if (rule->second.first == 0 || rule->second.first == request.function) {
      result = rule->second.second;
      break;
    }
  }
  if (!answers_.empty()) {
    result = answers_.front();
    answers_.pop_front();
  }
  if (result == kModbusNotConnected) connected_ = false;
  return result;
}

}  // namespace velk::zorv_control::testkit
