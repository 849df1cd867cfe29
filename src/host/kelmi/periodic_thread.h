#pragma once

#include <functional>
#include <memory>
#include <string>

namespace velk::kelmi {

class PeriodicTask;

// A thread that runs named tasks once per period. Provided by the host's
// runtime library (libkelmi.so.0); the bundle only calls what is declared here.
//
// Timing: deadlines lie on a fixed grid (start + delay + k * period) on the
// monotonic clock, so the rate does not drift however long the thread runs.
// When a period overruns, the deadlines already missed are dropped and the
// next run waits for the first grid deadline still ahead: no burst of
// catch-up runs.
//
// The stand-in library (standins/kelmi) runs tasks on one plain OS thread and
// applies no real-time scheduling: it accepts sched_method, priority and cpu,
// and addTask's cpu, offset_us and coroutine, and ignores them.
class PeriodicThread {
 public:
  // period_us: period in microseconds (0 is taken as 1); name: OS thread name
  // (cut to 15 chars); sched_method, priority, cpu: scheduling hints of the
  // runtime library.
  PeriodicThread(unsigned int period_us, const char* name, int sched_method, int priority, int cpu);
  // Stops and joins the thread, then destroys the tasks and what they hold.
  // Called from inside one of its own tasks, it cannot wait for itself: the
  // thread then ends after that task call and releases the tasks itself.
  ~PeriodicThread();

  PeriodicThread(const PeriodicThread&) = delete;
  PeriodicThread& operator=(const PeriodicThread&) = delete;

  // Adds a task before start(); tasks run in the order they were added. The
  // thread keeps the task (and what it holds) until the thread is destroyed;
  // dropping the returned handle does not remove the task. A task added after
  // start() joins in from the next period. A task that throws is reported on
  // stderr and the thread goes on.
  std::shared_ptr<PeriodicTask> addTask(const std::string& name, std::function<void()>&& task,
                                        int cpu, unsigned long offset_us, bool coroutine);

  // Starts the thread; the first period begins after delay_us microseconds.
  // A thread runs at most once: start() again, or after stop(), does nothing.
  void start(unsigned long delay_us);
  // Asks the thread to end after the task call in progress (the tasks after
  // it in that period do not run); a thread waiting for its next period ends
  // within about 10 milliseconds. Idempotent; callable from inside a task.
  void stop();
  // Waits for the thread to end; harmless twice or on a thread never started.
  // Called from inside one of its own tasks it returns at once, since a
  // thread cannot wait for itself.
  void join();

  // The period the thread keeps, in microseconds. Only tests and tools call
  // it; the bundle does not.
  unsigned int period() const;

  // True only on a periodic thread while one of its tasks runs.
  static bool check_co();
  // Inside a task: suspends the task and resumes it at a later turn of its
  // thread, tens of milliseconds later on a host; the stand-in sleeps one
  // period (a test may choose another length, kelmi/yield_turn.h). On any
  // other thread: gives the processor away for about 100 microseconds. The
  // lock patterns call it between tries of a busy mutex, so whatever the
  // caller looked up before it yields may have changed when it returns.
  static void yield();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::kelmi
