#include "bench/process_memory.h"

#include <malloc.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/allocation_counter.h"

namespace velk::bench {
namespace {

long statusKb(const std::string& text, const std::string& key) {
  const auto at = text.find(key);
  if (at == std::string::npos) return 0;
  return std::strtol(text.c_str() + at + key.size(), nullptr, 10);
}

}  // namespace

MemorySample ProcessMemory::sample() {
  MemorySample sample;
  std::ifstream status("/proc/self/status");
  std::stringstream text;
  text << status.rdbuf();
  sample.rss_kb = statusKb(text.str(), "\nVmRSS:");
  sample.rss_anon_kb = statusKb(text.str(), "\nRssAnon:");
  sample.rss_file_kb = statusKb(text.str(), "\nRssFile:");
  const struct mallinfo2 info = mallinfo2();
  sample.heap_in_use = info.uordblks + info.hblkhd;
  sample.live_blocks = AllocationCounter::liveBlocks();
  return sample;
}

}  // namespace velk::bench
