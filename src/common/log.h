#pragma once

#include <ostream>
#include <utility>

#include "common/log_buf.h"
#include "common/log_callback.h"

namespace velk {

// One log statement. The whole message reaches the callback in exactly one
// call when the Log is destroyed at the end of the statement.
class Log {
 public:
  explicit Log(const LogCallback& handler);
  virtual ~Log();

  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  // Sets level, file base name and line; returns *this for chaining.
  Log& at(int level, const char* file, int line);

  template <class T>
  Log& operator<<(const T& value) {
    stream_ << value;
    return *this;
  }

  // Format form: the text as stored ("{}" marks stay), then the values, the
  // first directly after the text and each further one after one space.
  template <class First, class... Rest>
  Log& format(const char* text, const First& first, const Rest&... rest) {
    stream_ << text << first;
    ((stream_ << ' ' << rest), ...);
    return *this;
  }
  Log& format(const char* text) {
    stream_ << text;
    return *this;
  }

  std::ostream& stream() { return stream_; }

 private:
  LogBuf* buffer();
  std::ostream stream_;
};

// Base name of a compile-time path: the text after its last '/'.
constexpr const char* fileBaseName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/') base = p + 1;
  }
  return base;
}

}  // namespace velk

// Stream form: VELK_LOG(callback, velk::kLogInfo) << "piece" << value;
#define VELK_LOG(callback, level) \
  ::velk::Log(callback).at((level), ::velk::fileBaseName(__FILE__), __LINE__)

// Format form: VELK_LOGF(callback, velk::kLogInfo, "text {}:{} ", a, b);
#define VELK_LOGF(callback, level, ...) \
  ::velk::Log(callback).at((level), ::velk::fileBaseName(__FILE__), __LINE__).format(__VA_ARGS__)
