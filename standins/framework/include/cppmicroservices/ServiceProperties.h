#pragma once

#include <string>
#include <unordered_map>

#include "cppmicroservices/Any.h"

namespace cppmicroservices {

// Properties of a registered service, by key.
using ServiceProperties = std::unordered_map<std::string, Any>;

// Keys the framework adds to every registration.
namespace Constants {
inline constexpr const char* OBJECTCLASS = "objectclass";
inline constexpr const char* SERVICE_ID = "service.id";
inline constexpr const char* SERVICE_SCOPE = "service.scope";
inline constexpr const char* SCOPE_SINGLETON = "singleton";
}  // namespace Constants

}  // namespace cppmicroservices
