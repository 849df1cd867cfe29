#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

#include "rocker/rocker_service/rocker_settings.h"

namespace velk::zorv_comm {

// With jog_follow, a running jog's speed follows the stick: each new read of
// the stick gives a new command, computed as the start computes it, and the
// follower says whether it differs enough from the last one sent to be sent
// as well. It keeps the last command sent, the read it came from and the
// step that counts as a change. At most one command per read: a cycle that
// sees no new read sends nothing, whatever the cycle rate.
//
// The step: 5 % of the speed at full deflection in the jog's speed mode (the
// pose speed, held to max_speed; likewise the turn), or 5° of direction. In
// either mode that is 50 stick units (5 mm/s in the default fast mode):
// above the 30 units a hold still counted steady may wander, and some
// sixteen steps from the start threshold to full deflection. 5 % of
// max_speed would be 12.5 mm/s, more than the whole range of the slow mode,
// which could then never follow. Direction counts only once the push is at
// least kDirectionFloor of full deflection: near the centre a few units of
// noise turn the vector by many degrees, and the size test covers a small
// push.
class JogFollower {
 public:
  using Clock = std::chrono::steady_clock;
  using Command = std::vector<double>;

  static constexpr double kStepShare = 0.05;
  static constexpr double kDirectionStepDegrees = 5.0;
  static constexpr double kDirectionFloor = 0.4;

  void configure(const RockerSettings& settings);
  bool enabled() const { return enabled_; }

  // A jog started with `command`, computed from the stick read at
  // `read_time`; `full_speed` and `full_turn` are the jog's speeds at full
  // deflection (m/s, rad/s).
  void begin(const Command& command, Clock::time_point read_time, double full_speed,
             double full_turn);
  // Whether `read_time` is a read the last command did not come from; it
  // is taken in any case, so each read is looked at once.
  bool takeRead(Clock::time_point read_time);
  // Whether `command` is more than a step from the last one sent.
  bool differs(const Command& command) const;
  void sent(const Command& command) { last_sent_ = command; }

 private:
  // Over the three values from `first`.
  static bool partDiffers(const Command& a, const Command& b, std::size_t first, double full);

  bool enabled_ = false;
  double max_speed_ = RockerSettings().boundedMaxSpeed();
  double max_angular_speed_ = RockerSettings().boundedMaxAngularSpeed();
  double full_speed_ = 0;
  double full_turn_ = 0;
  Command last_sent_;
  Clock::time_point last_read_;
};

}  // namespace velk::zorv_comm
