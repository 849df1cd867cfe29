#include "rocker/rocker_service/jog_follower.h"

#include <algorithm>
#include <cmath>

namespace velk::zorv_comm {

namespace {

constexpr double kPi = 3.14159265358979323846;

double normOf(const std::vector<double>& v, std::size_t first) {
  return std::sqrt(v[first] * v[first] + v[first + 1] * v[first + 1] + v[first + 2] * v[first + 2]);
}

}  // namespace

void JogFollower::configure(const RockerSettings& settings) {
  enabled_ = settings.jog_follow;
  max_speed_ = settings.boundedMaxSpeed();
  max_angular_speed_ = settings.boundedMaxAngularSpeed();
}

void JogFollower::begin(const Command& command, Clock::time_point read_time, double full_speed,
                        double full_turn) {
  last_sent_ = command;
  last_read_ = read_time;
  full_speed_ = std::min(full_speed, max_speed_);
  full_turn_ = std::min(full_turn, max_angular_speed_);
}

bool JogFollower::takeRead(Clock::time_point read_time) {
  if (read_time <= last_read_) return false;
  last_read_ = read_time;
  return true;
}

bool JogFollower::differs(const Command& command) const {
  if (command.size() != 6 || last_sent_.size() != 6) return true;
  return partDiffers(command, last_sent_, 0, full_speed_) ||
         partDiffers(command, last_sent_, 3, full_turn_);
}

bool JogFollower::partDiffers(const Command& a, const Command& b, std::size_t first, double full) {
  if (full <= 0) return false;
  double change = 0;
  double dot = 0;
  for (std::size_t i = first; i < first + 3; ++i) {
    change += (a[i] - b[i]) * (a[i] - b[i]);
    dot += a[i] * b[i];
  }
  if (std::sqrt(change) > kStepShare * full) return true;
  const double size_a = normOf(a, first);
  const double size_b = normOf(b, first);
  if (std::min(size_a, size_b) < kDirectionFloor * full) return false;
  const double cosine = std::clamp(dot / (size_a * size_b), -1.0, 1.0);
  return std::acos(cosine) > kDirectionStepDegrees * kPi / 180.0;
}

}  // namespace velk::zorv_comm
