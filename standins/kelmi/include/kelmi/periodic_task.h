#pragma once

#include <string>

namespace velk::kelmi {

// What addTask() hands back: a handle naming the task. The periodic thread
// keeps the task itself, so dropping the handle neither removes the task nor
// keeps what the task holds alive.
class PeriodicTask {
 public:
  explicit PeriodicTask(std::string name);

  const std::string& name() const;

 private:
  std::string name_;
};

}  // namespace velk::kelmi
