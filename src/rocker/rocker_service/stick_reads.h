#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "rocker/rocker_service/stick_checks.h"

namespace velk::zorv_comm {

// The last few reads of the six stick axes, newest first. The motion task
// runs several cycles per read (10 ms against 100 ms at the default stick
// rate), so a cycle's previous values are mostly the same read again: a
// knock or a ramp is judged between reads, and a read is known by the time
// the registry stamped it with, not by a changed value (a held stick reads
// the same value every time).
class StickReads {
 public:
  using Clock = std::chrono::steady_clock;
  // Enough for 100 ms of reads at the fastest stick rate, and one more.
  static constexpr std::size_t kCapacity = 8;

  struct Read {
    // Counts the reads since construction: a read is told from the next
    // one held at the same value.
    std::uint64_t serial = 0;
    StickChecks::Axes axes{};
  };

  // Keeps the values as a read when their stamp is later than the newest
  // one's; true when they were a new read.
  bool add(Clock::time_point stamp, const StickChecks::ValueMap& values);
  // The reads so far no longer belong with the next one (a gap, values
  // that could not be used).
  void clear() { size_ = 0; }

  std::size_t size() const { return size_; }
  // The read `n` reads before the newest (0: the newest); null when it is
  // not kept.
  const Read* ago(std::size_t n) const;

 private:
  std::array<Read, kCapacity> reads_{};  // a ring; head_ is the newest
  std::size_t head_ = 0;
  std::size_t size_ = 0;
  std::uint64_t serial_ = 0;
  Clock::time_point newest_stamp_{};
};

}  // namespace velk::zorv_comm
