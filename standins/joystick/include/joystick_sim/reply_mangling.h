#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <vector>

namespace velk::joystick_sim {

// What a fault injector does to the bytes a slave sends back, switchable
// while traffic flows. Shared by a relay and the test that drives it.
//
//   auto mangling = std::make_shared<ReplyMangling>();
//   mangling->set(ReplyMangling::appendBytes({0xAB, 0xCD}));
//   ...
//   mangling->clear();  // pass replies through unchanged again
class ReplyMangling {
 public:
  using Mangler = std::function<std::vector<uint8_t>(std::vector<uint8_t>)>;

  // From now on `mangler` changes each chunk (period 1), or one chunk in
  // `period` on average, drawn at random: a strict every n-th would fall in
  // step with the master's own rhythm of requests and always hit the same
  // kind. The draws start from the same seed at every set(), so a run can
  // be repeated. The others pass unchanged.
  void set(Mangler mangler, int period = 1);
  void clear();
  // The bytes to pass on for a chunk the slave sent.
  std::vector<uint8_t> apply(std::vector<uint8_t> chunk) const;
  // How many chunks were handed to a mangler since construction.
  int mangledChunks() const;

  // Drops the last `count` bytes: the reply promises more than it holds.
  static Mangler dropLastBytes(std::size_t count);
  // Appends `extra` after the reply: bytes nobody asked for.
  static Mangler appendBytes(std::vector<uint8_t> extra);
  // Flips every bit of the last byte, which on a serial line is the high
  // byte of the check sum.
  static Mangler flipLastByte();
  // `mangler` for the first `count` chunks it is handed, then nothing.
  static Mangler firstOnly(int count, Mangler mangler);

 private:
  mutable std::mutex mutex_;
  Mangler mangler_;
  int period_ = 1;
  mutable std::minstd_rand draws_;
  mutable int mangled_ = 0;
};

}  // namespace velk::joystick_sim
