#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace velk::bench {

// The host's log callback for the benchmarks: it keeps nothing but counts,
// per watched text, the messages that contain it, so that a run of any
// length holds no more memory at its end than at its start.
class LogCounter {
 public:
  using Callback = std::function<void(int, const char*, int, const std::string&)>;

  explicit LogCounter(std::vector<std::string> watched);

  // Valid while this object lives.
  Callback callback();
  int count(const std::string& watched) const;
  int total() const;

 private:
  void add(const std::string& message);

  const std::vector<std::string> watched_;
  mutable std::mutex mutex_;
  std::map<std::string, int> counts_;
  int total_ = 0;
};

}  // namespace velk::bench
