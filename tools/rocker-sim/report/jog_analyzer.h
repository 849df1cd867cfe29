#pragma once

#include <optional>
#include <vector>

#include "rocker-sim/report/jog.h"
#include "rocker-sim/report/stop_cause_finder.h"
#include "rocker-sim/run/run_record.h"

namespace velk::rocker_sim {

// Reads the jogs out of a finished run: each speed command the robot
// received opens one, and the next stop command, a halt of the robot, a new
// speed command or the end of the run closes it; with jog_follow in the
// start options a new speed command changes the open jog's speed instead. Adds the stick at the
// start, the cause of the stop and where the tool came to rest.
class JogAnalyzer {
 public:
  explicit JogAnalyzer(const RunRecord& record);

  std::vector<Jog> jogs() const;

 private:
  void handleCall(const RobotCall& call, std::vector<Jog>& jogs) const;
  Jog opened(const RobotCall& call, int number) const;
  SpeedChange changed(const RobotCall& call) const;
  static bool following(const RunRecord& record);
  void close(Jog& jog, double t, StopCause cause) const;
  void placeOnPath(std::vector<Jog>& jogs) const;
  std::optional<StickAxes> stickAt(double t) const;
  std::vector<double> poseAt(double t) const;
  std::vector<double> restingPoseAfter(double t, double limit) const;
  static bool isOpen(const std::vector<Jog>& jogs);

  const RunRecord& record_;
  StopCauseFinder causes_;
  bool following_;
};

}  // namespace velk::rocker_sim
