#include "rocker/rocker_service/stick_sample.h"

#include <algorithm>

#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

StickSample::StickSample(const std::vector<std::string>& names, const std::vector<int>& errors,
                         const std::vector<Clock::time_point>& read_times)
    : names_(names), read_times_(read_times) {
  connection_lost_ = std::any_of(errors.begin(), errors.end(), [](int e) { return e < 0; });
  oldest_axis_read_ = Clock::time_point::max();
  for (const char* axis : RockerSignalTable::axes()) {
    oldest_axis_read_ = std::min(oldest_axis_read_, readTimeOf(axis));
  }
}

bool StickSample::wasRead(const char* name) const {
  return readTimeOf(name) != Clock::time_point();
}

StickSample::Clock::time_point StickSample::readTimeOf(const char* name) const {
  const auto found = std::find(names_.begin(), names_.end(), name);
  const auto index = static_cast<std::size_t>(found - names_.begin());
  return index < read_times_.size() ? read_times_[index] : Clock::time_point();
}

}  // namespace velk::zorv_comm
