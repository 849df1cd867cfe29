#pragma once

#include <array>

#include "rocker/rocker_service/rocker_service.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

// Reaches into a RockerService for tests that script the decision cycle by
// cycle without a joystick, and that read the state it keeps to itself.
class RockerServiceTestPeer {
 public:
  using Axes = std::array<int, 6>;  // x, y, z, rx, ry, rz

  explicit RockerServiceTestPeer(RockerService& service) : service_(service) {}

  // Shifts a new set of stick values in, as one data step would.
  void pushStick(const Axes& axes) {
    if (service_.stick_fresh_) service_.push_reference_ = service_.current_values_;
    for (std::size_t i = 0; i < axes.size(); ++i) {
      const char* name = RockerSignalTable::axes()[i];
      service_.previous_values_[name] = service_.current_values_[name];
      service_.current_values_[name] = static_cast<int16_t>(axes[i]);
    }
    // Read cleanly, just now.
    service_.stick_fresh_ = true;
    if (service_.range(service_.current_values_, 6, 10)) service_.centre_seen_ = true;
  }
  void setRockerOn(bool on) { service_.rocker_on_ = on; }
  void setReadErrorCount(int count) { service_.read_error_count_ = count; }
  static void setPausedBlinkStep(int step) { RockerService::paused_blink_step_ = step; }

  bool rockerOn() const { return service_.rocker_on_; }
  bool moving() const { return service_.moving_; }
  bool armed() const { return service_.armed_; }
  int reversalCount() const { return service_.reversal_count_; }
  int indicatorState() const { return service_.indicator_state_; }
  double poseSpeed() const { return service_.pose_speed_; }
  const RockerService::ValueMap& current() const { return service_.current_values_; }
  const RockerService::ValueMap& previous() const { return service_.previous_values_; }

 private:
  RockerService& service_;
};

}  // namespace velk::zorv_comm
