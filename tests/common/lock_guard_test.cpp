#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "common/co_aware_lock_guard.h"
#include "common/yielding_lock_guard.h"
#include "host/kelmi/periodic_thread.h"
#include "host_rig/rig_timing.h"
#include "host_rig/thread_probe.h"

namespace {

using velk::common::CoAwareLockGuard;
using velk::common::YieldingLockGuard;
using velk::host_rig::timing::waitFor;
using velk::kelmi::PeriodicThread;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How often thread `tid` of this process gave up the processor by itself:
// a waiter that yields does so on every try, one blocked on the mutex once.
long voluntarySwitches(pid_t tid) {
  return static_cast<long>(velk::host_rig::ThreadProbe::sample(tid).voluntary);
}

// One thread that takes a mutex the test holds, through a lock guard.
struct Waiter {
  std::atomic<pid_t> tid{0};
  std::atomic<bool> acquired{false};

  void wait(std::mutex& mutex, const std::function<void(std::mutex&)>& take) {
    tid = gettid();
    take(mutex);
    acquired = true;
  }

  // Switches the waiter makes over 50 ms while the test keeps the mutex.
  long switchesWhileBlocked() const {
    std::this_thread::sleep_for(20ms);
    const long before = voluntarySwitches(tid);
    std::this_thread::sleep_for(50ms);
    return voluntarySwitches(tid) - before;
  }
};

void takeCoAware(std::mutex& mutex) { CoAwareLockGuard guard(mutex); }
void takeYielding(std::mutex& mutex) { YieldingLockGuard guard(mutex); }

TEST(CoAwareLockGuard, InsideATaskYieldsUntilTheHolderReleasesAndTheTaskGoesOn) {
  std::mutex mutex;
  mutex.lock();
  Waiter waiter;
  std::atomic<int> runs{0};
  PeriodicThread thread(10000, "lock test", 0, -1, 10);
  thread.addTask(
      "take",
      [&] {
        if (runs++ == 0) waiter.wait(mutex, takeCoAware);
      },
      -1, 0, false);
  thread.start(0);
  ASSERT_TRUE(waitFor([&] { return waiter.tid != 0; }, 3s));
  const long switches = waiter.switchesWhileBlocked();
  EXPECT_FALSE(waiter.acquired);
  mutex.unlock();

  EXPECT_TRUE(waitFor([&] { return waiter.acquired.load(); }, 3s));
  EXPECT_TRUE(waitFor([&] { return runs >= 3; }, 3s));
  thread.stop();
  thread.join();
  // Each try is followed by a whole turn away (one 10 ms period): a few
  // switches in 50 ms, where a waiter blocked on the mutex makes none.
  EXPECT_GE(switches, 2) << switches;
}

// Switches a plain thread makes while `take` waits for a mutex the test
// holds; the mutex is free again once `take` has returned.
long switchesOnAPlainThread(void (*take)(std::mutex&)) {
  std::mutex mutex;
  mutex.lock();
  Waiter waiter;
  std::thread plain([&] { waiter.wait(mutex, take); });
  EXPECT_TRUE(waitFor([&] { return waiter.tid != 0; }, 3s));
  const long switches = waiter.switchesWhileBlocked();
  EXPECT_FALSE(waiter.acquired);
  mutex.unlock();
  plain.join();
  EXPECT_TRUE(waiter.acquired);
  // The guard released the mutex on leaving its scope.
  EXPECT_TRUE(mutex.try_lock());
  mutex.unlock();
  return switches;
}

TEST(CoAwareLockGuard, OnAPlainThreadBlocksUntilTheHolderReleases) {
  const long switches = switchesOnAPlainThread(takeCoAware);
  EXPECT_LE(switches, 2) << switches;
}

TEST(YieldingLockGuard, YieldsOnAPlainThreadAndAcquiresAfterTheHolderReleases) {
  const long switches = switchesOnAPlainThread(takeYielding);
  EXPECT_GT(switches, 10) << switches;
}

}  // namespace
