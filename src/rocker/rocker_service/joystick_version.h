#pragma once

#include <cstdint>
#include <string>

#include "rocker/rocker_service/stick_checks.h"

namespace velk::zorv_comm {

// Owns the joystick's firmware and hardware version words as last taken,
// and whether the firmware version still waits to be recorded in the
// package file: once jogging is switched on it is recorded from the first
// clean read, since a word read in error, or never read, would record
// 0.0.0 over the joystick's real version.
class JoystickVersion {
 public:
  // The two words from a cycle's values.
  void take(const StickChecks::ValueMap& values);
  // Jogging was switched on: the firmware version is to be recorded.
  void wantRecord() { record_pending_ = true; }
  // Whether to record it now, from a cycle whose version word was read
  // cleanly or not; true at most once per wantRecord().
  bool recordDue(bool read_clean);

  // "major.minor.patch", as recorded.
  std::string firmwareText() const;
  // "major:minor", as shown.
  std::string hardwareText() const;

 private:
  uint16_t firmware_word_ = 0;
  uint16_t hardware_word_ = 0;
  bool record_pending_ = false;
};

}  // namespace velk::zorv_comm
