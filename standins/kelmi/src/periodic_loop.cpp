#include "periodic_loop.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

#include "task_scope.h"

namespace velk::kelmi {

namespace {

// Linux keeps 15 characters of a thread name plus the terminating zero.
constexpr std::size_t kMaxThreadNameLength = 15;

// A sleeping thread cannot be woken by stop(), so long waits are cut into
// slices of at most this length and the stop flag is checked between them.
// It is the longest a stop() waits for a thread that waits for its next
// period; periods up to this length take one sleep each.
constexpr std::chrono::milliseconds kStopCheckInterval{10};

thread_local const PeriodicLoop* tls_running_loop = nullptr;

void reportThrow(const std::string& task, const std::string& thread, const char* what) {
  // The library has no log callback; one whole line per throw keeps the
  // stream readable when other threads write to it too.
  const std::string line = "kelmi: task \"" + task + "\" on thread \"" + thread +
                           "\" threw: " + what + "; the thread goes on\n";
  std::fputs(line.c_str(), stderr);
}

// Sleeps until the absolute time `until` on CLOCK_MONOTONIC. An absolute
// deadline keeps the time spent in the tasks and in waking up out of the
// schedule; an early return (a signal) is harmless, the caller checks the time.
void sleepUntil(PeriodicLoop::Clock::time_point until) {
  const auto since_epoch =
      std::chrono::duration_cast<std::chrono::nanoseconds>(until.time_since_epoch());
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch);
  timespec deadline{};
  deadline.tv_sec = static_cast<time_t>(seconds.count());
  deadline.tv_nsec = static_cast<long>((since_epoch - seconds).count());
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
}

}  // namespace

PeriodicLoop::PeriodicLoop(std::chrono::microseconds period, std::string thread_name)
    : period_(period), thread_name_(std::move(thread_name)) {}

void PeriodicLoop::addTask(std::string name, std::function<void()>&& task) {
  auto entry = std::make_shared<Task>(Task{std::move(name), std::move(task)});
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.push_back(std::move(entry));
}

void PeriodicLoop::requestStop() { stop_ = true; }

bool PeriodicLoop::stopRequested() const { return stop_; }

void PeriodicLoop::run(Clock::time_point first_deadline) {
  tls_running_loop = this;
  nameCallingThread();
  TaskList snapshot;
  for (auto deadline = first_deadline; waitFor(deadline); deadline = nextDeadline(deadline)) {
    refresh(snapshot);
    runOnce(snapshot);
  }
}

bool PeriodicLoop::runsOnCallingThread() const { return tls_running_loop == this; }

const PeriodicLoop* PeriodicLoop::onCallingThread() { return tls_running_loop; }

void PeriodicLoop::releaseTasks() {
  TaskList released;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released.swap(tasks_);
  }
  // The tasks' captures are destroyed here, outside the lock: their
  // destructors may take long (joining threads of their own).
}

void PeriodicLoop::nameCallingThread() const {
  const std::string name = thread_name_.substr(0, kMaxThreadNameLength);
  pthread_setname_np(pthread_self(), name.c_str());
}

bool PeriodicLoop::waitFor(Clock::time_point deadline) const {
  while (!stop_) {
    const auto now = Clock::now();
    if (now >= deadline) return true;
    sleepUntil(std::min(deadline, now + kStopCheckInterval));
  }
  return false;
}

void PeriodicLoop::refresh(TaskList& snapshot) const {
  // Tasks are only ever appended, so a matching size means nothing changed.
  std::lock_guard<std::mutex> lock(mutex_);
  if (snapshot.size() != tasks_.size()) snapshot = tasks_;
}

void PeriodicLoop::runOnce(const TaskList& tasks) const {
  for (const auto& task : tasks) {
    if (stop_) return;
    call(*task);
  }
}

void PeriodicLoop::call(const Task& task) const {
  const TaskScope scope;
  try {
    task.call();
  } catch (const std::exception& e) {
    reportThrow(task.name, thread_name_, e.what());
  } catch (...) {
    reportThrow(task.name, thread_name_, "an exception of unknown type");
  }
}

PeriodicLoop::Clock::time_point PeriodicLoop::nextDeadline(Clock::time_point previous) const {
  const auto next = previous + period_;
  const auto now = Clock::now();
  if (next > now) return next;
  const auto missed = (now - next) / period_ + 1;
  return next + missed * period_;
}

}  // namespace velk::kelmi
