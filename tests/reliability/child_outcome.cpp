#include "reliability/child_outcome.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rocker_reliability {

namespace {

constexpr int kThrewCode = 125;
constexpr int kForkFailedCode = 126;

}  // namespace

ChildOutcome ChildOutcome::of(const std::function<int()>& work, unsigned int seconds) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(seconds);
    int code = kThrewCode;
    try {
      code = work();
    } catch (...) {
      code = kThrewCode;
    }
    // No destructors of the parent's objects, no atexit handlers: the child
    // only reports.
    ::_exit(code & 0xFF);
  }
  ChildOutcome outcome;
  if (pid < 0) {
    outcome.exited_ = true;
    outcome.code_ = kForkFailedCode;
    return outcome;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    outcome.exited_ = true;
    outcome.code_ = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    outcome.signal_ = WTERMSIG(status);
  }
  return outcome;
}

std::string ChildOutcome::describe() const {
  if (exited_) return "exited with " + std::to_string(code_);
  if (signal_ == kAlarm) return "hung (killed by its alarm)";
  return "killed by signal " + std::to_string(signal_) + " (" + ::strsignal(signal_) + ")";
}

}  // namespace rocker_reliability
