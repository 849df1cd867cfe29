#pragma once

#include <functional>
#include <string>

namespace rocker_reliability {

// How a piece of work ended that was run in a forked child process, so
// that a crash, a hang or a stack overflow of the code under test fails one
// test with a clear message instead of taking the whole test program down.
//
//   const ChildOutcome outcome = ChildOutcome::of([] { return parse() ? 0 : 1; }, 10);
//   EXPECT_TRUE(outcome.exited()) << outcome.describe();
class ChildOutcome {
 public:
  // Runs `work` in a child; its result becomes the exit code (0..255). The
  // child is killed after `seconds` (SIGALRM) if it has not ended by then.
  static ChildOutcome of(const std::function<int()>& work, unsigned int seconds);

  bool exited() const { return exited_; }
  int exitCode() const { return code_; }
  bool hung() const { return signal_ == kAlarm; }
  // "exited with 0", "killed by signal 11 (Segmentation fault)", ...
  std::string describe() const;

 private:
  static constexpr int kAlarm = 14;
  bool exited_ = false;
  int code_ = -1;
  int signal_ = 0;
};

}  // namespace rocker_reliability
