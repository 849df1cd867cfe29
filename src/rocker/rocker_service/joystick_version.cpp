#include "rocker/rocker_service/joystick_version.h"

#include "rocker/rocker_service/rocker_signal_table.h"
#include "rocker/rocker_service/version_word.h"

namespace velk::zorv_comm {

namespace {

// A version register's word, looked up by the name built once: a name this
// long would otherwise be allocated in every cycle.
uint16_t wordOf(const StickChecks::ValueMap& values, const char* name) {
  const auto found = values.find(RockerSignalTable::stored(name));
  return found == values.end() ? 0 : static_cast<uint16_t>(found->second);
}

}  // namespace

void JoystickVersion::take(const StickChecks::ValueMap& values) {
  firmware_word_ = wordOf(values, RockerSignalTable::kFirmwareVersion);
  hardware_word_ = wordOf(values, RockerSignalTable::kHardwareVersion);
}

bool JoystickVersion::recordDue(bool read_clean) {
  if (!record_pending_ || !read_clean) return false;
  record_pending_ = false;
  return true;
}

std::string JoystickVersion::firmwareText() const { return VersionWord(firmware_word_).fullText(); }

std::string JoystickVersion::hardwareText() const {
  return VersionWord(hardware_word_).shortText();
}

}  // namespace velk::zorv_comm
