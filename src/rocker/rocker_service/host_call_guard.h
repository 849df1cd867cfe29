#pragma once

#include <cstddef>
#include <exception>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "common/log.h"
#include "common/log_callback.h"
#include "common/log_level.h"

namespace velk::zorv_comm {

// Runs a step that calls the host so that nothing the host throws gets
// out: the host's periodic thread would lose the task, and a host thread
// calling stop() or releasing the extension would get an exception it
// never asked for. What was thrown is logged at Error with `context`, once
// for as long as the same failure goes on: a query that throws every cycle
// would otherwise flood the log. A round (one cycle) without any failure
// ends the run, with one line saying how often each failure came.
class HostCallGuard {
 public:
  explicit HostCallGuard(LogCallback log) : log_(std::move(log)) {}

  // The handle a host getter returned, or, when it returned none, a host
  // fault like any the host throws: the step ends there.
  template <class Handle>
  static std::shared_ptr<Handle> require(std::shared_ptr<Handle> handle, const char* getter) {
    if (!handle)
      throw std::runtime_error(std::string("the host returned no handle from ") + getter);
    return handle;
  }

  // Runs step; if it throws, logs it and runs recover, whose own failure
  // is logged too (it is retried by whoever runs next).
  template <class Step, class Recover>
  void run(const char* context, Step&& step, Recover&& recover) noexcept {
    if (attempt(context, std::forward<Step>(step))) return;
    attempt(context, std::forward<Recover>(recover));
  }

  // True when step returned normally.
  template <class Step>
  bool attempt(const char* context, Step&& step) noexcept {
    try {
      step();
      return true;
    } catch (const std::exception& e) {
      report(context, e.what());
    } catch (...) {
      report(context, "unknown exception");
    }
    return false;
  }

  // The cycle's steps are done: if none failed, failures that went on until
  // now have ended.
  void endRound() noexcept {
    try {
      if (!failed_this_round_) reportRecoveries();
    } catch (...) {
      // Logging failed; there is nobody left to tell.
    }
    failed_this_round_ = false;
  }

 private:
  struct Failure {
    std::string what;
    std::size_t count = 0;
  };
  // Beyond this many different failures at once, a new one is logged but
  // not remembered: a text that changes every time cannot grow the map.
  static constexpr std::size_t kRememberedFailures = 16;

  void report(const char* context, const char* what) noexcept {
    failed_this_round_ = true;
    try {
      const std::string text = std::string(context) + what;
      const auto known = failures_.find(text);
      if (known != failures_.end()) {
        ++known->second.count;
        return;
      }
      if (failures_.size() < kRememberedFailures) failures_[text] = Failure{what, 1};
      VELK_LOG(log_, kLogError) << text;
    } catch (...) {
      // Logging failed too; there is nobody left to tell.
    }
  }

  void reportRecoveries() {
    for (const auto& entry : failures_) {
      VELK_LOG(log_, kLogInfo) << "Rocker host call recovered after " << entry.second.count
                               << " failures: " << entry.second.what;
    }
    failures_.clear();
  }

  LogCallback log_;
  std::map<std::string, Failure> failures_;
  bool failed_this_round_ = false;
};

}  // namespace velk::zorv_comm
