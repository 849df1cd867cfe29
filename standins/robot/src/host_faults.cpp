#include "host_faults.h"

#include <stdexcept>
#include <utility>

namespace velk::sim {

void HostFaults::failCall(const std::string& name, int times) {
  if (times == 0) {
    failures_.erase(name);
  } else {
    failures_[name] = times;
  }
}

void HostFaults::replyPose(const std::string& name, std::optional<std::vector<double>> reply) {
  if (reply) {
    pose_replies_[name] = std::move(*reply);
  } else {
    pose_replies_.erase(name);
  }
}

void HostFaults::withholdHandle(const std::string& getter, bool withheld) {
  if (withheld) {
    withheld_handles_.insert(getter);
  } else {
    withheld_handles_.erase(getter);
  }
}

bool HostFaults::handleWithheld(const char* getter) const {
  return withheld_handles_.count(getter) != 0;
}

void HostFaults::stallCall(const std::string& name, std::function<void()> during) {
  if (during) {
    stalls_[name] = std::move(during);
  } else {
    stalls_.erase(name);
  }
}

std::function<void()> HostFaults::stall(const char* name) const {
  const auto found = stalls_.find(name);
  return found == stalls_.end() ? std::function<void()>() : found->second;
}

void HostFaults::throwIfArmed(const char* name) {
  const auto found = failures_.find(name);
  if (found == failures_.end()) return;
  if (found->second > 0 && --found->second == 0) failures_.erase(found);
  throw std::runtime_error(std::string("simulated host failure in ") + name);
}

std::optional<std::vector<double>> HostFaults::poseReply(const char* name) const {
  const auto found = pose_replies_.find(name);
  if (found == pose_replies_.end()) return std::nullopt;
  return found->second;
}

}  // namespace velk::sim
