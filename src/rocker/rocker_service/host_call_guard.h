#pragma once

#include <exception>
#include <utility>

#include "common/log.h"
#include "common/log_callback.h"
#include "common/log_level.h"

namespace velk::zorv_comm {

// Runs a step that calls the host so that nothing the host throws gets
// out: the host's periodic thread would lose the task, and a host thread
// calling stop() or releasing the extension would get an exception it
// never asked for. What was thrown is logged at Error with `context`.
class HostCallGuard {
 public:
  explicit HostCallGuard(LogCallback log) : log_(std::move(log)) {}

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

 private:
  void report(const char* context, const char* what) noexcept {
    try {
      VELK_LOG(log_, kLogError) << context << what;
    } catch (...) {
      // Logging failed too; there is nobody left to tell.
    }
  }

  LogCallback log_;
};

}  // namespace velk::zorv_comm
