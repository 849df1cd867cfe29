#include "rocker-sim/run/stop_signals.h"

#include <signal.h>

#include <atomic>

namespace velk::rocker_sim {

namespace {

std::atomic<int> g_signal{0};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];
struct sigaction g_previous_pipe;

extern "C" void onStopSignal(int number) { g_signal.store(number); }

}  // namespace

StopSignals::StopSignals() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &g_previous_pipe);
}

StopSignals::~StopSignals() {
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
  sigaction(SIGPIPE, &g_previous_pipe, nullptr);
}

bool StopSignals::requested() { return g_signal.load() != 0; }

int StopSignals::signal() { return g_signal.load(); }

}  // namespace velk::rocker_sim
