#include <utility>

#include "cppmicroservices/FrameworkEvent.h"

namespace cppmicroservices {

FrameworkEvent::FrameworkEvent(Type type, std::string message)
    : type_(type), message_(std::move(message)) {}

FrameworkEvent::Type FrameworkEvent::GetType() const { return type_; }
std::string FrameworkEvent::GetMessage() const { return message_; }

}  // namespace cppmicroservices
