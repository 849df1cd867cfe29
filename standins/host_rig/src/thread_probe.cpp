#include "host_rig/thread_probe.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace velk::host_rig {
namespace {

std::string taskFile(int tid, const char* file) {
  return "/proc/self/task/" + std::to_string(tid) + "/" + file;
}

uint64_t statusField(const std::string& text, const std::string& key) {
  const auto at = text.find(key);
  if (at == std::string::npos) return 0;
  return std::strtoull(text.c_str() + at + key.size(), nullptr, 10);
}

}  // namespace

std::vector<int> ThreadProbe::tids() {
  std::vector<int> out;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return out;
  while (const dirent* entry = readdir(dir)) {
    const int tid = std::atoi(entry->d_name);
    if (tid > 0) out.push_back(tid);
  }
  closedir(dir);
  return out;
}

std::string ThreadProbe::nameOf(int tid) {
  std::ifstream in(taskFile(tid, "comm"));
  std::string name;
  std::getline(in, name);
  return name;
}

std::vector<int> ThreadProbe::tidsNamed(const std::string& name) {
  std::vector<int> out;
  for (int tid : tids()) {
    if (nameOf(tid) == name) out.push_back(tid);
  }
  return out;
}

int ThreadProbe::settledCount() {
  std::thread([] {}).join();
  return count();
}

ThreadSample ThreadProbe::sample(int tid) {
  ThreadSample sample;
  sample.tid = tid;
  std::ifstream schedstat(taskFile(tid, "schedstat"));
  schedstat >> sample.cpu_ns;  // stays 0 on a kernel without schedstat
  std::ifstream status(taskFile(tid, "status"));
  if (!status) return sample;  // gone
  std::stringstream text;
  text << status.rdbuf();
  const std::string fields = text.str();
  sample.voluntary = statusField(fields, "\nvoluntary_ctxt_switches:");
  sample.involuntary = statusField(fields, "\nnonvoluntary_ctxt_switches:");
  // A thread that has ended and been joined can still show in /proc for a
  // moment, as a zombie or dead, until the kernel has released it.
  const std::string state_key = "\nState:";
  const auto state_at = fields.find(state_key);
  const auto code_at = state_at == std::string::npos
                           ? std::string::npos
                           : fields.find_first_not_of(" \t", state_at + state_key.size());
  const char code = code_at == std::string::npos ? '?' : fields[code_at];
  sample.alive = code != 'Z' && code != 'X';
  return sample;
}

}  // namespace velk::host_rig
