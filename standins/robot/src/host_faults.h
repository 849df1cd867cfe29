#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velk::sim {

// Host API failures on demand, for tests of how the bundle survives a host
// that throws or answers nonsense. Not thread-safe: the backend calls it
// under its own lock.
class HostFaults {
 public:
  // The named call throws std::runtime_error instead of reaching the robot,
  // `times` times; a negative count means every time, 0 clears it.
  void failCall(const std::string& name, int times);
  // The named pose query answers `reply` instead of the truth; nothing
  // clears it.
  void replyPose(const std::string& name, std::optional<std::vector<double>> reply);

  // The named handle getter ("getRobotState", "getMath", ...) returns an
  // empty handle while withheld.
  void withholdHandle(const std::string& getter, bool withheld);
  bool handleWithheld(const char* getter) const;
  // The named call runs `during` before it answers, as a host busy that
  // long would: the test moves its clocks and the joystick meanwhile. An
  // empty function clears it.
  void stallCall(const std::string& name, std::function<void()> during);
  std::function<void()> stall(const char* name) const;

  // Throws if a failure is armed for the call.
  void throwIfArmed(const char* name);
  // The pose the query must answer instead, if any.
  std::optional<std::vector<double>> poseReply(const char* name) const;

 private:
  std::map<std::string, int> failures_;
  std::map<std::string, std::vector<double>> pose_replies_;
  std::set<std::string> withheld_handles_;
  std::map<std::string, std::function<void()>> stalls_;
};

}  // namespace velk::sim
