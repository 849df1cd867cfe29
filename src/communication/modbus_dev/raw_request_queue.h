#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace velk::zorv_control {

// The raw requests waiting to go out to the slave, in the order they came.
// Its lock is its own and is never held across I/O: the registry's thread
// pushes (yielding inside a periodic task), the poll thread pops.
class RawRequestQueue {
 public:
  void push(const std::vector<uint8_t>& request);
  // Hands the requests queued now, oldest first, to `send` until it returns
  // false (the rest stay queued): a caller that keeps queueing cannot hold
  // the poll thread here.
  void sendQueued(const std::function<bool(const std::vector<uint8_t>&)>& send);
  std::size_t size() const;
  bool empty() const { return size() == 0; }

 private:
  // Takes the oldest request; false when there is none.
  bool pop(std::vector<uint8_t>& request);

  mutable std::mutex mutex_;
  std::deque<std::vector<uint8_t>> requests_;
};

}  // namespace velk::zorv_control
