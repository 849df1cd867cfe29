#include "task_scope.h"

namespace velk::kelmi {

namespace {
thread_local bool tls_in_task = false;
}  // namespace

TaskScope::TaskScope() : previous_(tls_in_task) { tls_in_task = true; }

TaskScope::~TaskScope() { tls_in_task = previous_; }

bool TaskScope::active() { return tls_in_task; }

}  // namespace velk::kelmi
