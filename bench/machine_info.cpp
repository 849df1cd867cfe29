#include "bench/machine_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <sstream>

namespace velk::bench {
namespace {

std::string firstLineWith(const char* path, const std::string& key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) {
      const auto colon = line.find(':');
      if (colon == std::string::npos) return line;
      const auto value = line.find_first_not_of(" \t", colon + 1);
      return value == std::string::npos ? "" : line.substr(value);
    }
  }
  return "";
}

}  // namespace

nlohmann::json MachineInfo::collect() {
  utsname names{};
  uname(&names);
  nlohmann::json info;
  info["cpu"] = firstLineWith("/proc/cpuinfo", "model name");
  info["cores"] = sysconf(_SC_NPROCESSORS_ONLN);
  info["memory"] = firstLineWith("/proc/meminfo", "MemTotal");
  info["kernel"] = std::string(names.sysname) + " " + names.release + " " + names.machine;
  info["compiler"] = std::string("g++ ") + __VERSION__;
#ifdef NDEBUG
  info["build"] = "optimised, assertions off (NDEBUG)";
#else
  info["build"] = "assertions on";
#endif
  return info;
}

std::string MachineInfo::loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

std::string MachineInfo::utcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

}  // namespace velk::bench
