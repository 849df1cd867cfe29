#include "common/log_buf.h"

#include <utility>

namespace velk {

// level, file and line are set by the statement after construction.
LogBuf::LogBuf(LogCallback callback)
    : level(0), callback_(std::move(callback)), file(nullptr), line(0) {}

// Pending text is deliberately dropped: only sync() delivers.
LogBuf::~LogBuf() = default;

int LogBuf::sync() {
  if (!text_.empty()) {
    callback_(level, file, line, text_);
    text_.clear();
  }
  return 0;
}

int LogBuf::overflow(int c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) {
    sync();
    return c;
  }
  text_.push_back(traits_type::to_char_type(c));
  return c;
}

}  // namespace velk
