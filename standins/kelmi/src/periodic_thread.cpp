#include "host/kelmi/periodic_thread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

#include "kelmi/periodic_task.h"
#include "kelmi/yield_turn.h"
#include "periodic_loop.h"
#include "task_scope.h"

namespace velk::kelmi {

namespace {

// A zero period would make every deadline already missed; one microsecond
// keeps the schedule arithmetic sound.
constexpr unsigned int kMinPeriodUs = 1;
// Keeps "now + delay" far from overflowing the clock's nanosecond count.
constexpr unsigned long kMaxDelayUs = 1'000'000'000'000'000UL;  // about 31 years
// Outside a task there is no turn to give away; the pause only keeps a
// waiter from spinning on a busy mutex.
constexpr std::chrono::microseconds kYieldPause{100};

// Zero: one period of the calling task's thread.
std::atomic<long long> yield_turn_us{0};

}  // namespace

// Owns the OS thread; the loop it runs is shared with that thread.
class PeriodicThread::Impl {
 public:
  Impl(unsigned int period_us, const char* name, int sched_method, int priority, int cpu)
      : period_us_(std::max(period_us, kMinPeriodUs)),
        loop_(std::make_shared<PeriodicLoop>(std::chrono::microseconds(period_us_),
                                             name ? name : "")),
        sched_method_(sched_method),
        priority_(priority),
        cpu_(cpu) {}

  std::shared_ptr<PeriodicTask> addTask(const std::string& name, std::function<void()>&& task) {
    loop_->addTask(name, std::move(task));
    return std::make_shared<PeriodicTask>(name);
  }

  void start(unsigned long delay_us) {
    // Checked without the thread mutex so that start() from inside a task
    // returns at once even while another thread waits in join().
    if (started_.exchange(true) || loop_->stopRequested()) return;
    const auto first_deadline =
        PeriodicLoop::Clock::now() + std::chrono::microseconds(std::min(delay_us, kMaxDelayUs));
    std::lock_guard<std::mutex> lock(thread_mutex_);
    try {
      thread_ = std::thread([loop = loop_, first_deadline] { loop->run(first_deadline); });
    } catch (...) {
      started_ = false;  // nothing runs; a later start() may try again
      throw;
    }
  }

  void stop() { loop_->requestStop(); }

  unsigned int period() const { return period_us_; }

  void join() {
    if (loop_->runsOnCallingThread()) return;  // a thread cannot wait for itself
    std::lock_guard<std::mutex> lock(thread_mutex_);
    if (thread_.joinable()) thread_.join();
  }

  void shutDown() {
    stop();
    if (loop_->runsOnCallingThread()) {
      // Destroyed from inside its own task: the OS thread keeps the loop
      // alive, ends after this call and then releases the tasks itself.
      std::lock_guard<std::mutex> lock(thread_mutex_);
      thread_.detach();
      return;
    }
    join();
    loop_->releaseTasks();
  }

 private:
  const unsigned int period_us_;
  const std::shared_ptr<PeriodicLoop> loop_;
  // Scheduling hints of the host's library; this stand-in runs a plain
  // thread and applies none of them (real-time scheduling needs privileges).
  [[maybe_unused]] const int sched_method_;
  [[maybe_unused]] const int priority_;
  [[maybe_unused]] const int cpu_;
  std::atomic<bool> started_{false};
  std::mutex thread_mutex_;  // start() and concurrent join() calls meet here
  std::thread thread_;
};

PeriodicThread::PeriodicThread(unsigned int period_us, const char* name, int sched_method,
                               int priority, int cpu)
    : impl_(std::make_unique<Impl>(period_us, name, sched_method, priority, cpu)) {}

PeriodicThread::~PeriodicThread() { impl_->shutDown(); }

std::shared_ptr<PeriodicTask> PeriodicThread::addTask(const std::string& name,
                                                      std::function<void()>&& task, int /*cpu*/,
                                                      unsigned long /*offset_us*/,
                                                      bool /*coroutine*/) {
  return impl_->addTask(name, std::move(task));
}

void PeriodicThread::start(unsigned long delay_us) { impl_->start(delay_us); }

void PeriodicThread::stop() { impl_->stop(); }

void PeriodicThread::join() { impl_->join(); }

unsigned int PeriodicThread::period() const { return impl_->period(); }

bool PeriodicThread::check_co() { return TaskScope::active(); }

void PeriodicThread::yield() {
  const PeriodicLoop* loop = PeriodicLoop::onCallingThread();
  if (loop == nullptr || !TaskScope::active()) {
    std::this_thread::sleep_for(kYieldPause);
    return;
  }
  // A host suspends the task here and resumes it at a later turn of its
  // thread: whatever other threads do meanwhile, the task sees only after
  // that turn. Sleeping a whole turn keeps that window as wide as a host's.
  const std::chrono::microseconds turn = yieldTurn();
  if (turn.count() > 0) {
    std::this_thread::sleep_for(turn);
  } else {
    std::this_thread::sleep_for(loop->period());
  }
}

void setYieldTurn(std::chrono::microseconds turn) { yield_turn_us = turn.count(); }

std::chrono::microseconds yieldTurn() { return std::chrono::microseconds(yield_turn_us.load()); }

}  // namespace velk::kelmi
