#include "reliability/process_usage.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host_rig/thread_probe.h"

namespace rocker_reliability {

namespace {

int entriesIn(const char* folder) {
  std::error_code error;
  int count = 0;
  for (auto it = std::filesystem::directory_iterator(folder, error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    ++count;
  }
  return count;
}

int pseudoTerminalsOpen() {
  std::error_code error;
  int count = 0;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    std::error_code ignored;
    const auto target = std::filesystem::read_symlink(it->path(), ignored).string();
    if (target.rfind("/dev/pts/", 0) == 0 || target == "/dev/ptmx") ++count;
  }
  return count;
}

long residentKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

}  // namespace

ProcessUsage ProcessUsage::now() {
  ProcessUsage usage;
  usage.threads = velk::host_rig::ThreadProbe::count();
  // The directory listing itself holds one descriptor while it runs.
  usage.file_descriptors = entriesIn("/proc/self/fd") - 1;
  usage.pseudo_terminals = pseudoTerminalsOpen();
  usage.resident_kib = residentKib();
  return usage;
}

std::string ProcessUsage::describe() const {
  std::ostringstream text;
  text << threads << " threads, " << file_descriptors << " descriptors (" << pseudo_terminals
       << " terminals), " << resident_kib << " KiB resident";
  return text.str();
}

}  // namespace rocker_reliability
