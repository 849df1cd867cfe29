#pragma once

#include <nlohmann/json.hpp>
#include <vector>

#include "joystick_sim/modbus_slave.h"

namespace velk::bench {

// Whether the lights were written only until confirmed. The bundle writes a
// pending output on every poll pass until a read of its group returns the
// value; the slave answers in order on one connection, so the first read of
// the group after a write already sees it. An episode is a run of writes of
// one value to one address; the writes it makes after that confirming read
// are the waste this check counts.
class LightWriteCheck {
 public:
  struct Episode {
    int function = 0;  // 5 coil, 6 holding register
    int address = 0;
    int value = 0;
    int writes = 0;
    bool confirmed = false;
    int writes_after_confirmation = 0;
  };

  explicit LightWriteCheck(const std::vector<joystick_sim::SlaveRequest>& requests);

  const std::vector<Episode>& episodes() const { return episodes_; }
  int wastedWrites() const;
  nlohmann::json toJson() const;

 private:
  static bool covers(const joystick_sim::SlaveRequest& read, const Episode& episode);
  std::vector<Episode> episodes_;
};

}  // namespace velk::bench
