#pragma once

#include <chrono>
#include <functional>

namespace velk::zorv_control {

// The order of one read pass across the address spaces, fastest group
// first: when the line cannot carry every rate, the stick axes still come
// first. A slower group waits for the next pass once this one has read a
// slower group and taken a period of the fastest, or when the fastest, not
// read in this pass, falls due before the slower read would be over. The
// axes are then never more than about a period and one slower read apart.
//
// Threads: the poll thread's, for one pass.
class FastestFirstPass {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `fastest` is the highest group frequency; the pass begins now.
  FastestFirstPass(int fastest, const Clock& clock);

  int fastest() const { return fastest_; }
  // Before a group of `frequency`: whether slower groups wait for the next
  // pass from now on, given the fastest group's countdown and the time of
  // one request.
  bool defersSlower(int frequency, double fastest_countdown, double transaction_seconds) const;
  // After it: whether this was the first read of the fastest in the pass.
  bool noteRead(int frequency, bool read);

 private:
  const Clock& clock_;
  int fastest_;
  std::chrono::steady_clock::time_point begun_;
  bool fastest_read_ = false;
  bool slower_read_ = false;
};

}  // namespace velk::zorv_control
