#include "host/kelmi/periodic_thread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "host_rig/rig_timing.h"
#include "kelmi/periodic_task.h"
#include "kelmi/yield_turn.h"

namespace {

using velk::host_rig::timing::waitFor;
using velk::kelmi::PeriodicThread;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr unsigned int kPeriodUs = 10000;

std::unique_ptr<PeriodicThread> makeThread(unsigned int period_us = kPeriodUs,
                                           const char* name = "ROCKER Server") {
  return std::make_unique<PeriodicThread>(period_us, name, 0, -1, 10);
}

void addTask(PeriodicThread& thread, const std::string& name, std::function<void()> task) {
  thread.addTask(name, std::move(task), -1, 0, false);
}

// Starts `thread` at once, waits up to 3 s for `done`, then stops and joins
// it; whether `done` came in time.
bool runUntil(PeriodicThread& thread, const std::function<bool()>& done) {
  thread.start(0);
  const bool came = waitFor(done, 3s);
  thread.stop();
  thread.join();
  return came;
}

TEST(PeriodicThreadSchedule, RunsTasksInAddedOrderOnOneThreadEvenWhenStartedTwice) {
  auto thread = makeThread();
  std::string trace;  // written by the periodic thread only, read after join
  std::atomic<int> rounds{0};
  addTask(*thread, "a", [&] { trace += 'a'; });
  addTask(*thread, "b", [&] { trace += 'b'; });
  addTask(*thread, "c", [&] {
    trace += 'c';
    ++rounds;
  });
  thread->start(0);
  ASSERT_TRUE(runUntil(*thread, [&] { return rounds >= 5; }));

  ASSERT_GE(trace.size(), 15u);
  for (std::size_t i = 0; i < trace.size(); ++i) ASSERT_EQ(trace[i], "abc"[i % 3]) << trace;
}

TEST(PeriodicThreadSchedule, KeepsThePeriodOnAverageAndWaitsForTheStartDelay) {
  auto thread = makeThread();
  std::atomic<int> runs{0};
  Clock::time_point first_run;
  addTask(*thread, "count", [&] {
    if (runs == 0) first_run = Clock::now();
    ++runs;
  });
  const auto started = Clock::now();
  thread->start(20000);
  std::this_thread::sleep_for(520ms);
  thread->stop();
  thread->join();

  EXPECT_EQ(thread->period(), kPeriodUs);
  EXPECT_GE(runs, 20);
  EXPECT_LE(runs, 60);
  EXPECT_GE(first_run - started, 20ms);
}

TEST(PeriodicThreadSchedule, KeepsTheRateWhenTheTaskTakesMostOfThePeriod) {
  auto thread = makeThread();
  std::atomic<int> runs{0};
  addTask(*thread, "busy", [&] {
    std::this_thread::sleep_for(7ms);
    ++runs;
  });
  thread->start(0);
  std::this_thread::sleep_for(600ms);
  thread->stop();
  thread->join();

  // On the deadline grid about 60 runs fit; sleeping a period after each run
  // instead would give about 35.
  EXPECT_GE(runs, 47);
}

TEST(PeriodicThreadSchedule, TakesAZeroPeriodAsOneMicrosecond) {
  auto thread = makeThread(0);
  EXPECT_EQ(thread->period(), 1u);
  std::atomic<int> runs{0};
  addTask(*thread, "count", [&] { ++runs; });
  EXPECT_TRUE(runUntil(*thread, [&] { return runs >= 100; }));
}

TEST(PeriodicThreadSchedule, DropsDeadlinesMissedByALongTaskInsteadOfBursting) {
  auto thread = makeThread();
  std::vector<Clock::time_point> starts;  // written by the periodic thread only
  Clock::time_point long_run_end;
  std::atomic<int> runs{0};
  addTask(*thread, "slow once", [&] {
    starts.push_back(Clock::now());
    if (starts.size() == 2) {
      std::this_thread::sleep_for(100ms);  // ten periods
      long_run_end = Clock::now();
    }
    ++runs;
  });
  ASSERT_TRUE(runUntil(*thread, [&] { return runs >= 8; }));

  // Catching up would start about nine runs at once; on the grid, the next
  // deadline is at most one period away.
  int right_after = 0;
  for (const auto& start : starts) {
    if (start >= long_run_end && start < long_run_end + 5ms) ++right_after;
  }
  EXPECT_LE(right_after, 2);
}

TEST(PeriodicThreadLifecycle, StopAndJoinAreHarmlessTwiceAndOnANeverStartedThread) {
  auto idle = makeThread();
  std::atomic<int> idle_runs{0};
  addTask(*idle, "idle", [&] { ++idle_runs; });
  idle->stop();
  idle->join();
  idle->stop();
  idle->join();
  idle->start(0);  // a stopped thread stays stopped
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(idle_runs, 0);

  auto thread = makeThread();
  std::atomic<int> runs{0};
  addTask(*thread, "count", [&] { ++runs; });
  ASSERT_TRUE(runUntil(*thread, [&] { return runs >= 2; }));
  thread->stop();
  thread->join();
  const int after_join = runs;
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(runs, after_join);
}

TEST(PeriodicThreadLifecycle, StopEndsAThreadWaitingForALongPeriodSoon) {
  auto thread = makeThread(10'000'000);  // ten seconds
  std::atomic<int> runs{0};
  addTask(*thread, "count", [&] { ++runs; });
  thread->start(0);
  ASSERT_TRUE(waitFor([&] { return runs == 1; }, 3s));
  const auto asked = Clock::now();
  thread->stop();
  thread->join();
  EXPECT_LT(Clock::now() - asked, 2s);
}

TEST(PeriodicThreadLifecycle, StopFromInsideATaskSkipsTheRestOfThatPeriod) {
  auto thread = makeThread();
  std::atomic<int> first{0};
  std::atomic<int> second{0};
  addTask(*thread, "stopper", [&] {
    if (++first == 3) thread->stop();
  });
  addTask(*thread, "after", [&] { ++second; });
  thread->start(0);
  ASSERT_TRUE(waitFor([&] { return first >= 3; }, 3s));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(second, 2);
  thread->stop();
  thread->join();
}

TEST(PeriodicThreadLifecycle, JoinFromInsideATaskReturnsAtOnce) {
  auto thread = makeThread();
  std::atomic<bool> returned{false};
  addTask(*thread, "self join", [&] {
    thread->join();
    returned = true;
  });
  EXPECT_TRUE(runUntil(*thread, [&] { return returned.load(); }));
}

TEST(PeriodicThreadLifecycle, KeepsWhatTasksHoldUntilDestroyed) {
  auto held = std::make_shared<int>(1);
  const std::weak_ptr<int> watch = held;
  auto thread = makeThread();
  std::atomic<int> runs{0};
  auto handle = thread->addTask(
      "motion", [held, &runs] { runs += *held; }, -1, 0, false);
  EXPECT_EQ(handle->name(), "motion");
  handle.reset();
  held.reset();
  ASSERT_TRUE(runUntil(*thread, [&] { return runs >= 2; }));
  EXPECT_FALSE(watch.expired());
  thread.reset();
  EXPECT_TRUE(watch.expired());

  auto never_started = makeThread();
  auto unused = std::make_shared<int>(2);
  const std::weak_ptr<int> watch_unused = unused;
  addTask(*never_started, "unused", [unused] {});
  unused.reset();
  never_started.reset();
  EXPECT_TRUE(watch_unused.expired());
}

TEST(PeriodicThreadLifecycle, DestroyedFromInsideItsOwnTaskReleasesTheTasksAfterwards) {
  auto held = std::make_shared<int>(1);
  const std::weak_ptr<int> watch = held;
  auto thread = makeThread();
  PeriodicThread* raw = thread.get();
  std::atomic<bool> destroyed{false};
  addTask(*raw, "destroy owner", [held, &thread, &destroyed] {
    thread.reset();
    destroyed = true;
  });
  held.reset();
  raw->start(0);
  ASSERT_TRUE(waitFor([&] { return destroyed.load(); }, 3s));
  EXPECT_TRUE(waitFor([&] { return watch.expired(); }, 3s));
}

TEST(PeriodicThreadContext, CheckCoIsTrueOnlyInsideATask) {
  auto thread = makeThread();
  std::atomic<int> runs{0};
  std::atomic<bool> in_task{false};
  std::atomic<bool> other_thread{true};
  addTask(*thread, "probe", [&] {
    in_task = PeriodicThread::check_co();
    std::thread([&] { other_thread = PeriodicThread::check_co(); }).join();
    ++runs;
  });
  EXPECT_FALSE(PeriodicThread::check_co());
  thread->start(0);
  ASSERT_TRUE(waitFor([&] { return runs >= 1; }, 3s));
  EXPECT_FALSE(PeriodicThread::check_co());
  thread->stop();
  thread->join();
  EXPECT_TRUE(in_task);
  EXPECT_FALSE(other_thread);
}

// A host suspends a yielding task until a later turn of its thread; the
// stand-in must leave the same window, or races with other threads hide.
TEST(PeriodicThreadContext, YieldInsideATaskGivesAWholeTurnAway) {
  // The chosen turn must not outlive this test, even when it fails early.
  struct DefaultTurnAfterwards {
    ~DefaultTurnAfterwards() { velk::kelmi::setYieldTurn(0ms); }
  } default_turn_afterwards;
  const auto timeYield = [] {
    const auto start = Clock::now();
    PeriodicThread::yield();
    return Clock::now() - start;
  };
  auto thread = makeThread(20000);
  std::atomic<int> runs{0};
  std::atomic<long long> default_turn_us{0};
  std::atomic<long long> chosen_turn_us{0};
  addTask(*thread, "yield", [&] {
    const int run = runs++;
    if (run == 0) {
      default_turn_us = std::chrono::duration_cast<std::chrono::microseconds>(timeYield()).count();
      velk::kelmi::setYieldTurn(50ms);
    } else if (run == 1) {
      chosen_turn_us = std::chrono::duration_cast<std::chrono::microseconds>(timeYield()).count();
      velk::kelmi::setYieldTurn(0ms);
    }
  });
  ASSERT_TRUE(runUntil(*thread, [&] { return runs >= 2; }));
  EXPECT_GE(default_turn_us.load(), 19000);  // one period
  EXPECT_GE(chosen_turn_us.load(), 49000);
  // Outside a task there is no turn to give away.
  EXPECT_LT(timeYield(), 40ms);
}

std::string nameSeenInsideATask(const char* thread_name) {
  auto thread = makeThread(kPeriodUs, thread_name);
  std::string seen;  // written by the periodic thread, read after join
  std::atomic<bool> done{false};
  addTask(*thread, "name", [&] {
    char buffer[64] = {};
    if (pthread_getname_np(pthread_self(), buffer, sizeof buffer) == 0) seen = buffer;
    done = true;
  });
  runUntil(*thread, [&] { return done.load(); });
  return seen;
}

TEST(PeriodicThreadContext, NamesTheOsThreadCutToFifteenCharacters) {
  EXPECT_EQ(nameSeenInsideATask("ROCKER Server"), "ROCKER Server");
  EXPECT_EQ(nameSeenInsideATask("ROCKER Server with a long name"), "ROCKER Server w");
}

TEST(PeriodicThreadContext, AThrowingTaskIsReportedAndTheThreadGoesOn) {
  auto thread = makeThread();
  std::atomic<int> runs{0};
  addTask(*thread, "bad", [] { throw std::runtime_error("boom"); });
  addTask(*thread, "odd", [] { throw 42; });
  addTask(*thread, "good", [&] { ++runs; });
  testing::internal::CaptureStderr();
  const bool went_on = runUntil(*thread, [&] { return runs >= 3; });
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_TRUE(went_on);
  EXPECT_NE(err.find("task \"bad\" on thread \"ROCKER Server\" threw: boom"), std::string::npos)
      << err;
  EXPECT_NE(err.find("task \"odd\" on thread \"ROCKER Server\" threw: an exception of unknown"),
            std::string::npos)
      << err;
}

}  // namespace
