#pragma once

namespace velk::rocker_sim {

// SIGINT, SIGTERM and SIGHUP ask the run to end early but in order (the
// extension stopped, the reports written, the terminal restored) instead of
// killing the process. SIGPIPE is ignored, so that a closed pipe on standard
// output cannot cut the shutdown short. Handlers are installed for the
// object's lifetime.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  static bool requested();
  // Which signal asked, 0 if none.
  static int signal();
};

}  // namespace velk::rocker_sim
