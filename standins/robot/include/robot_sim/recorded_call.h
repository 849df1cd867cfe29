#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace velk::sim {

// Whether a call changes the robot (a command) or only reads from it.
enum class CallKind { kQuery, kCommand };

// One call that reached the simulated robot through the host API handles.
//
// Arguments are flattened into `args` in declaration order, a vector argument
// contributing all its values as passed (so a malformed pose is visible as
// such): speedLine gives the six speeds, then a, then t; poseTrans gives the
// values of p1 followed by those of p2. A string argument (the robot name of
// getRobotInterface) goes to `text`. `result` holds what the call returned:
// the number for int, bool and time results, the six values for poses, and
// nothing for getRobotNames, whose names go to `text` joined by ",".
struct RecordedCall {
  std::string name;  // the member function's name, e.g. "speedLine"
  CallKind kind = CallKind::kQuery;
  std::vector<double> args;
  std::string text;
  std::vector<double> result;
  double sim_time = 0.0;  // seconds of simulated time when the call ran
  std::chrono::steady_clock::time_point steady_time;
};

}  // namespace velk::sim
