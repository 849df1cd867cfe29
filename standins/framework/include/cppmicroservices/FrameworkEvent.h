#pragma once

#include <string>

#include "cppmicroservices/FrameworkExport.h"

namespace cppmicroservices {

// What WaitForStop reports.
class US_Framework_EXPORT FrameworkEvent {
 public:
  enum class Type {
    FRAMEWORK_STARTED,
    FRAMEWORK_ERROR,
    FRAMEWORK_WARNING,
    FRAMEWORK_INFO,
    FRAMEWORK_STOPPED,
    FRAMEWORK_STOPPED_UPDATE,
    FRAMEWORK_WAIT_TIMEDOUT,
  };

  FrameworkEvent(Type type, std::string message);

  Type GetType() const;
  std::string GetMessage() const;

 private:
  Type type_;
  std::string message_;
};

}  // namespace cppmicroservices
