#pragma once

#include <streambuf>
#include <string>

#include "common/log_callback.h"

namespace velk {

// Collects one log statement's text; sync() hands it to the callback.
// It has no put area, so every character arrives through overflow().
class LogBuf : public std::basic_streambuf<char> {
 public:
  explicit LogBuf(LogCallback callback);
  ~LogBuf() override;

  LogBuf(const LogBuf&) = delete;
  LogBuf& operator=(const LogBuf&) = delete;

 protected:
  int sync() override;
  int overflow(int c) override;

 private:
  std::string text_;

 public:
  int level;

 private:
  LogCallback callback_;

 public:
  const char* file;
  int line;
};

}  // namespace velk
