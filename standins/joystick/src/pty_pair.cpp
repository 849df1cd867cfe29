#include "joystick_sim/pty_pair.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "host_rig/rig_timing.h"

namespace velk::joystick_sim {

namespace {

constexpr std::chrono::milliseconds kStartWait{5000};
constexpr std::chrono::milliseconds kStopWait{2000};
constexpr auto kStep = std::chrono::milliseconds(10);

std::string findOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

bool exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

PtyPair::PtyPair() {
  const std::string socat = findOnPath("socat");
  if (socat.empty()) throw std::runtime_error("socat not found on PATH");
  std::string pattern = "/tmp/rocker-pty-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  directory_ = pattern;
  device_path_ = directory_ + "/device";
  slave_path_ = directory_ + "/slave";
  log_path_ = directory_ + "/socat.log";
  launch(socat);
  if (!waitForLinks()) {
    stopSocat();
    removeDirectory();
    throw std::runtime_error("socat did not create the pseudo-terminals in time");
  }
}

PtyPair::~PtyPair() {
  stopSocat();
  removeDirectory();
}

void PtyPair::launch(const std::string& socat) {
  // Everything the child needs is prepared before fork: after fork in a
  // threaded process the child may only make plain system calls.
  const std::string first = "pty,raw,echo=0,link=" + device_path_;
  const std::string second = "pty,raw,echo=0,link=" + slave_path_;
  std::vector<char*> argv{const_cast<char*>(socat.c_str()),  const_cast<char*>("-d"),
                          const_cast<char*>("-d"),           const_cast<char*>(first.c_str()),
                          const_cast<char*>(second.c_str()), nullptr};
  const int log = ::open(log_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(1);
    if (log >= 0) ::dup2(log, STDERR_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (log >= 0) ::close(log);
  if (pid_ < 0) throw std::runtime_error("fork failed");
}

bool PtyPair::waitForLinks() {
  bool ended = false;
  const bool settled = host_rig::timing::waitFor(
      [&] {
        int status = 0;
        ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
        return ended || (exists(device_path_) && exists(slave_path_));
      },
      kStartWait, kStep);
  if (ended) pid_ = -1;  // reaped: never signal that number again
  return settled && !ended;
}

void PtyPair::stopSocat() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  if (!host_rig::timing::waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) != 0; }, kStopWait,
                                 kStep)) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
}

void PtyPair::removeDirectory() {
  for (const std::string& path : {device_path_, slave_path_, log_path_}) ::unlink(path.c_str());
  ::rmdir(directory_.c_str());
}

}  // namespace velk::joystick_sim
