#include "rocker-sim/run/terminal_mode.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include "rocker-sim/command_line/input_error.h"

namespace velk::rocker_sim {

namespace {

// Kept where the signal handlers can reach them; one terminal per process.
struct termios g_saved;
struct termios g_raw;
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT};

extern "C" void restoreAndDie(int number) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
  ::signal(number, SIG_DFL);
  ::raise(number);
}

extern "C" void restoreAndSuspend(int number) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
  ::signal(number, SIG_DFL);
  ::raise(number);  // returns once the shell continues the process
  ::signal(number, restoreAndSuspend);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_raw);
}

}  // namespace

TerminalMode::TerminalMode() {
  if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &g_saved) != 0) {
    throw InputError("--interactive needs a terminal on standard input");
  }
  g_raw = g_saved;
  g_raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  g_raw.c_cc[VMIN] = 0;
  g_raw.c_cc[VTIME] = 0;
  for (const int number : kFatalSignals) ::signal(number, restoreAndDie);
  ::signal(SIGTSTP, restoreAndSuspend);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_raw);
}

TerminalMode::~TerminalMode() {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
  for (const int number : kFatalSignals) ::signal(number, SIG_DFL);
  ::signal(SIGTSTP, SIG_DFL);
}

std::optional<char> TerminalMode::readKey(int wait_ms) const {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  if (::poll(&input, 1, wait_ms) <= 0 || (input.revents & POLLIN) == 0) return std::nullopt;
  char key = 0;
  if (::read(STDIN_FILENO, &key, 1) != 1) return std::nullopt;
  return key;
}

}  // namespace velk::rocker_sim
