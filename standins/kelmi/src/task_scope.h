#pragma once

namespace velk::kelmi {

// Marks the calling thread as running a periodic task for the scope's
// lifetime; check_co() reads the mark. Scopes nest and restore the previous
// mark on exit, also when the task throws.
class TaskScope {
 public:
  TaskScope();
  ~TaskScope();

  TaskScope(const TaskScope&) = delete;
  TaskScope& operator=(const TaskScope&) = delete;

  // True while a TaskScope is open on the calling thread.
  static bool active();

 private:
  bool previous_;
};

}  // namespace velk::kelmi
