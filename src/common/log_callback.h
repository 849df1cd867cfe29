#pragma once

#include <functional>
#include <string>

namespace velk {

// The host's log callback: level, source file base name, line, message.
// An empty function object means that none was given.
using LogCallback = std::function<void(int, const char*, int, const std::string&)>;

}  // namespace velk
