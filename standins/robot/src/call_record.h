#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "robot_sim/recorded_call.h"

namespace velk::sim {

// The calls that reached the simulated robot, oldest first. Thread-safe: the
// bundle's task thread adds while a test thread reads.
//
// Bounded so that a long run does not grow without limit: once `capacity`
// entries are held, each new one pushes out the oldest and counts it as
// dropped. Queries can be left out altogether, which keeps the commands of a
// long run (the bundle asks the robot's state every cycle, but commands only
// now and then); they are counted by name either way.
class CallRecord {
 public:
  static constexpr std::size_t kDefaultCapacity = 20000;

  void add(RecordedCall call);

  std::vector<RecordedCall> all() const;
  std::vector<RecordedCall> where(const std::function<bool(const RecordedCall&)>& keep) const;
  std::size_t size() const;
  // Entries pushed out since the last clear().
  std::size_t dropped() const;
  // Removes all entries and resets the dropped count.
  void clear();

  // Lowering the capacity drops the oldest entries beyond it at once.
  void setCapacity(std::size_t capacity);
  void setRecordQueries(bool record);
  // Queries by name, recorded or not, since the last clear().
  std::map<std::string, std::size_t> queryCounts() const;

 private:
  void trimTo(std::size_t capacity);

  mutable std::mutex mutex_;
  std::deque<RecordedCall> calls_;
  std::size_t capacity_ = kDefaultCapacity;
  std::size_t dropped_ = 0;
  bool record_queries_ = true;
  std::map<std::string, std::size_t> query_counts_;
};

}  // namespace velk::sim
