#include "rocker/rocker_service/stick_reads.h"

namespace velk::zorv_comm {

bool StickReads::add(Clock::time_point stamp, const StickChecks::ValueMap& values) {
  // A clear keeps the stamp: the values read before it are no new read.
  if (stamp <= newest_stamp_) return false;
  newest_stamp_ = stamp;
  head_ = (head_ + 1) % kCapacity;
  reads_[head_] = Read{++serial_, StickChecks::axesOf(values)};
  if (size_ < kCapacity) ++size_;
  return true;
}

const StickReads::Read* StickReads::ago(std::size_t n) const {
  if (n >= size_) return nullptr;
  return &reads_[(head_ + kCapacity - n) % kCapacity];
}

}  // namespace velk::zorv_comm
