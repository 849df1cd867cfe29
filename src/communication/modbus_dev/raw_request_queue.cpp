#include "communication/modbus_dev/raw_request_queue.h"

#include <utility>

#include "common/co_aware_lock_guard.h"

namespace velk::zorv_control {

void RawRequestQueue::push(const std::vector<uint8_t>& request) {
  common::CoAwareLockGuard lock(mutex_);
  requests_.push_back(request);
}

void RawRequestQueue::sendQueued(const std::function<bool(const std::vector<uint8_t>&)>& send) {
  std::size_t budget = size();
  std::vector<uint8_t> request;
  while (budget-- > 0 && pop(request)) {
    if (!send(request)) break;
  }
}

bool RawRequestQueue::pop(std::vector<uint8_t>& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (requests_.empty()) return false;
  request = std::move(requests_.front());
  requests_.pop_front();
  return true;
}

std::size_t RawRequestQueue::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

}  // namespace velk::zorv_control
