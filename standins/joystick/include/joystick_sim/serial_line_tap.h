#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "joystick_sim/byte_relay.h"
#include "joystick_sim/pty_pair.h"
#include "joystick_sim/reply_mangling.h"

namespace velk::joystick_sim {

// A serial line with a tap in the middle, made of two socat pseudo-terminal
// pairs and a relay between them, so that a test can damage the slave's
// replies on the wire (for example their check sum):
//
//   master (devicePath) <-> pair 1 <-> relay <-> pair 2 <-> slave (slavePath)
//
// Create it on the test's own thread (see PtyPair). The relay ends after
// `lifetime`. With a line timing the line is paced like a real one
// (ByteRelay).
class SerialLineTap {
 public:
  explicit SerialLineTap(std::chrono::seconds lifetime = std::chrono::seconds(60),
                         LineTiming timing = {});
  ~SerialLineTap();
  SerialLineTap(const SerialLineTap&) = delete;
  SerialLineTap& operator=(const SerialLineTap&) = delete;

  // The end for the master under test.
  const std::string& devicePath() const { return master_side_.devicePath(); }
  std::string deviceInfo() const { return master_side_.deviceInfo(); }
  // The end for RtuSlave.
  const std::string& slavePath() const { return slave_side_.slavePath(); }
  ReplyMangling& mangling() { return *mangling_; }

 private:
  velk::joystick_sim::PtyPair master_side_;
  velk::joystick_sim::PtyPair slave_side_;
  std::shared_ptr<ReplyMangling> mangling_ = std::make_shared<ReplyMangling>();
  std::unique_ptr<ByteRelay> relay_;
};

}  // namespace velk::joystick_sim
