#include "bundle/process_threads.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

namespace rocker_test {

std::vector<std::string> threadNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    if (std::getline(comm, name)) names.push_back(name);
  }
  return names;
}

int threadsNamed(const std::string& name) {
  const auto names = threadNames();
  return static_cast<int>(std::count(names.begin(), names.end(), name));
}

int settledThreadCount() {
  std::thread([] {}).join();
  return static_cast<int>(threadNames().size());
}

int waitForThreadCount(int count, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int seen = static_cast<int>(threadNames().size());
  while (seen != count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    seen = static_cast<int>(threadNames().size());
  }
  return seen;
}

}  // namespace rocker_test
