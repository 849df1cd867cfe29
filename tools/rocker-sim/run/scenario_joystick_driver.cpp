#include "rocker-sim/run/scenario_joystick_driver.h"

#include <algorithm>
#include <cmath>

#include "joystick_sim/simulated_joystick.h"

namespace velk::rocker_sim {

ScenarioJoystickDriver::ScenarioJoystickDriver(SimulatedJoystick* joystick, RunRecord& record)
    : joystick_(joystick), record_(record) {}

void ScenarioJoystickDriver::setStick(const StickAxes& axes, double ramp, double now) {
  const StickAxes from = joystick_ ? joystick_->stick() : target_;
  target_ = axes;
  if (ramp > 0.0) {
    ramp_ = Ramp{from, now, now + ramp};
    return;
  }
  ramp_.reset();
  moveStick(axes, now);
}

void ScenarioJoystickDriver::moveStick(const StickAxes& axes, double now) {
  if (joystick_ == nullptr) return;
  if (axes == joystick_->stick()) return;
  joystick_->setStick(axes);
  record_.sticks.push_back(StickSample{now, axes});
}

void ScenarioJoystickDriver::followRamp(double now) {
  if (!ramp_) return;
  const double share = std::clamp((now - ramp_->start) / (ramp_->end - ramp_->start), 0.0, 1.0);
  StickAxes axes{};
  for (std::size_t i = 0; i < axes.size(); ++i) {
    const double span = static_cast<double>(target_[i] - ramp_->from[i]);
    axes[i] = ramp_->from[i] + static_cast<int>(std::lround(span * share));
  }
  moveStick(axes, now);
  if (share >= 1.0) ramp_.reset();
}

void ScenarioJoystickDriver::press(Button button, double hold, double now) {
  if (joystick_ == nullptr) return;
  joystick_->setButton(button, true);
  releases_.erase(std::remove_if(releases_.begin(), releases_.end(),
                                 [&](const PendingRelease& r) { return r.button == button; }),
                  releases_.end());
  releases_.push_back(PendingRelease{button, now + hold});
}

void ScenarioJoystickDriver::releaseDueButtons(double now) {
  for (auto it = releases_.begin(); it != releases_.end();) {
    if (it->at > now) {
      ++it;
      continue;
    }
    joystick_->setButton(it->button, false);
    it = releases_.erase(it);
  }
}

void ScenarioJoystickDriver::startFault(const FaultStart& fault, double now) {
  record_.faults.push_back(FaultRecord{fault, now, kForever});
  if (joystick_ == nullptr) {
    record_.faults.back().end = now;  // nothing to break on an outside device
    return;
  }
  active_faults_.push_back(ActiveFault{record_.faults.size() - 1, now + fault.duration});
  applyFaults();
}

void ScenarioJoystickDriver::clearFaults(double now) {
  for (auto& fault : active_faults_) fault.until = now;
  endDueFaults(now);
}

void ScenarioJoystickDriver::endDueFaults(double now) {
  const auto before = active_faults_.size();
  for (auto it = active_faults_.begin(); it != active_faults_.end();) {
    if (it->until > now) {
      ++it;
      continue;
    }
    record_.faults[it->record].end = now;
    it = active_faults_.erase(it);
  }
  if (active_faults_.size() != before) applyFaults();
}

// Sets the joystick to the sum of the faults still in force, so that
// overlapping faults end one by one.
void ScenarioJoystickDriver::applyFaults() {
  bool unplugged = false;
  bool silent = false;
  std::vector<std::pair<int, int>> rejections;
  for (const auto& active : active_faults_) {
    const FaultStart& fault = record_.faults[active.record].fault;
    unplugged |= fault.kind == FaultKind::kDrop;
    silent |= fault.kind == FaultKind::kSilence;
    if (fault.kind == FaultKind::kException) rejections.emplace_back(fault.address, fault.code);
  }
  for (const int address : rejected_addresses_) joystick_->rejectAddress(address, 0);
  rejected_addresses_.clear();
  for (const auto& [address, code] : rejections) {
    joystick_->rejectAddress(address, code);
    rejected_addresses_.push_back(address);
  }
  joystick_->setSilent(silent);
  if (unplugged) {
    joystick_->unplug();
  } else {
    joystick_->plugIn();
  }
}

void ScenarioJoystickDriver::update(double now) {
  if (joystick_ == nullptr) return;
  followRamp(now);
  releaseDueButtons(now);
  endDueFaults(now);
  joystick_->mirrorLights();
}

}  // namespace velk::rocker_sim
