#include "rocker-sim/report/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace velk::rocker_sim {

namespace {

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
  throw std::runtime_error("cannot " + what + " " + path + ": " + std::strerror(error));
}

// Writes everything and makes it durable; 0 or the errno of the failure.
int fill(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    done += static_cast<std::size_t>(n);
  }
  if (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0) return errno;
  return 0;
}

}  // namespace

void AtomicFile::write(const std::string& path, const std::string& content) {
  std::string temp = path + ".tmp-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) fail("create a file next to", path, errno);
  int error = fill(fd, content);
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    fail("write", path, error);
  }
}

bool AtomicFile::canCreate(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;
  return ::access(folderOf(path).c_str(), W_OK | X_OK) == 0;
}

}  // namespace velk::rocker_sim
