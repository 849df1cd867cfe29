#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velk::kelmi {

// The schedule and the tasks of one periodic thread, and the body that the
// OS thread runs. Shared between the owning PeriodicThread and the OS thread,
// so that a thread told to end from inside its own task can finish its last
// call after the owner is gone.
class PeriodicLoop {
 public:
  // steady_clock reads CLOCK_MONOTONIC, the clock the loop sleeps on, so its
  // time points convert directly into clock_nanosleep() deadlines.
  using Clock = std::chrono::steady_clock;

  PeriodicLoop(std::chrono::microseconds period, std::string thread_name);

  void addTask(std::string name, std::function<void()>&& task);

  // Makes run() return after the task call in progress, or within a few
  // milliseconds if it waits for a deadline.
  void requestStop();
  bool stopRequested() const;

  // Body of the OS thread: names the thread, then runs the tasks in order at
  // first_deadline and at each later deadline of the grid until stopped.
  void run(Clock::time_point first_deadline);
  // True on the OS thread that runs this loop.
  bool runsOnCallingThread() const;
  // The loop whose run() is on the calling thread, or nullptr.
  static const PeriodicLoop* onCallingThread();
  Clock::duration period() const { return period_; }

  // Destroys the tasks and what they hold. Only once run() has returned.
  void releaseTasks();

 private:
  struct Task {
    std::string name;
    std::function<void()> call;
  };
  using TaskList = std::vector<std::shared_ptr<Task>>;

  void nameCallingThread() const;
  // Waits for the deadline; false if stopped before or while waiting.
  bool waitFor(Clock::time_point deadline) const;
  // Brings the run loop's copy of the list up to date with tasks added since.
  void refresh(TaskList& snapshot) const;
  void runOnce(const TaskList& tasks) const;
  void call(const Task& task) const;
  // The first grid deadline after `previous` that is still ahead: deadlines
  // missed while a period overran are dropped rather than run in a burst.
  Clock::time_point nextDeadline(Clock::time_point previous) const;

  const Clock::duration period_;
  const std::string thread_name_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;  // guards tasks_: addTask() may run while the loop reads them
  TaskList tasks_;
};

}  // namespace velk::kelmi
