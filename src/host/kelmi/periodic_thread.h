#pragma once

#include <functional>
#include <memory>
#include <string>

namespace velk::kelmi {

class PeriodicTask;

// A thread that runs named tasks once per period. Provided by the host's
// runtime library (libkelmi.so.0); the bundle only calls what is declared here.
class PeriodicThread {
 public:
  // period_us: period in microseconds; name: OS thread name (cut to 15 chars);
  // sched_method, priority, cpu: scheduling hints of the runtime library.
  PeriodicThread(unsigned int period_us, const char* name, int sched_method, int priority,
                 int cpu);
  ~PeriodicThread();

  PeriodicThread(const PeriodicThread&) = delete;
  PeriodicThread& operator=(const PeriodicThread&) = delete;

  // Adds a task before start(); tasks run in the order they were added. The
  // thread keeps the task (and what it holds) until the thread is destroyed.
  std::shared_ptr<PeriodicTask> addTask(const std::string& name, std::function<void()>&& task,
                                        int cpu, unsigned long offset_us, bool coroutine);

  // Starts the thread; the first period begins after delay_us microseconds.
  void start(unsigned long delay_us);
  // Asks the thread to end after the task call in progress; idempotent.
  void stop();
  // Waits for the thread to end; harmless twice or on a thread never started.
  void join();

  // True only on a periodic thread while one of its tasks runs.
  static bool check_co();
  // Gives the processor away for a moment; the caller continues afterwards.
  static void yield();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::kelmi
