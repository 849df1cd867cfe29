#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace rocker_test {

// The names (as the kernel keeps them, at most 15 characters) of this
// process's threads, from /proc/self/task.
std::vector<std::string> threadNames();

// How many of this process's threads carry name.
int threadsNamed(const std::string& name);

// The thread count to compare with later. Starts and joins one thread
// first: runtimes that add a helper thread with the first thread created
// (ThreadSanitizer does) would otherwise count it against the code tested.
int settledThreadCount();

// Waits until the process has count threads, at most timeout; returns the
// last count seen. A joined thread may linger in /proc for a moment.
int waitForThreadCount(int count, std::chrono::milliseconds timeout);

}  // namespace rocker_test
