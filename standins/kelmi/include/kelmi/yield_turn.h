#pragma once

#include <chrono>

namespace velk::kelmi {

// How long PeriodicThread::yield() gives the thread away when called inside
// a task. A host's yield suspends the task and resumes it at a later turn of
// its thread, so by default the stand-in sleeps one period of the calling
// thread. A test may choose another length to widen or narrow that window;
// zero (or less) goes back to one period. Affects every thread of the
// process. Stand-in only: the host's library has no such call.
void setYieldTurn(std::chrono::microseconds turn);
std::chrono::microseconds yieldTurn();

}  // namespace velk::kelmi
