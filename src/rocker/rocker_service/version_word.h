#pragma once

#include <cstdint>
#include <string>

namespace velk::zorv_comm {

// A version as the joystick packs it into one register: major in bits 12-15,
// minor in bits 7-11, patch in bits 0-6.
class VersionWord {
 public:
  explicit VersionWord(uint16_t word) : word_(word) {}

  int majorNumber() const { return (word_ >> 12) & 0x0F; }
  int minorNumber() const { return (word_ >> 7) & 0x1F; }
  int patchNumber() const { return word_ & 0x7F; }

  // "major.minor.patch", as the firmware version is recorded.
  std::string fullText() const;
  // "major:minor", as the hardware version is shown.
  std::string shortText() const;

 private:
  uint16_t word_;
};

}  // namespace velk::zorv_comm
