#include "call_record.h"

namespace velk::sim {

void CallRecord::add(RecordedCall call) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (call.kind == CallKind::kQuery) {
    ++query_counts_[call.name];
    if (!record_queries_) return;
  }
  if (capacity_ == 0) {
    ++dropped_;
    return;
  }
  trimTo(capacity_ - 1);
  calls_.push_back(std::move(call));
}

std::vector<RecordedCall> CallRecord::all() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {calls_.begin(), calls_.end()};
}

std::vector<RecordedCall> CallRecord::where(
    const std::function<bool(const RecordedCall&)>& keep) const {
  // Filtered on a copy, outside the lock, so that `keep` may itself read
  // the record.
  std::vector<RecordedCall> kept;
  for (RecordedCall& call : all()) {
    if (keep(call)) kept.push_back(std::move(call));
  }
  return kept;
}

std::size_t CallRecord::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_.size();
}

std::size_t CallRecord::dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

void CallRecord::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
  dropped_ = 0;
  query_counts_.clear();
}

void CallRecord::setCapacity(std::size_t capacity) {
  std::lock_guard<std::mutex> lock(mutex_);
  capacity_ = capacity;
  trimTo(capacity_);
}

void CallRecord::setRecordQueries(bool record) {
  std::lock_guard<std::mutex> lock(mutex_);
  record_queries_ = record;
}

std::map<std::string, std::size_t> CallRecord::queryCounts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return query_counts_;
}

void CallRecord::trimTo(std::size_t capacity) {
  while (calls_.size() > capacity) {
    calls_.pop_front();
    ++dropped_;
  }
}

}  // namespace velk::sim
