#include "common/log.h"

#include "common/base_class_statics.h"

namespace velk {

Log::Log(const LogCallback& handler) : stream_(nullptr) {
  // The buffer always holds a callable: the given one or the default handler.
  stream_.rdbuf(new LogBuf(handler ? handler : BaseClass_statics<void>::log_handler));
}

Log::~Log() {
  stream_.flush();
  delete buffer();
  stream_.rdbuf(nullptr);
}

Log& Log::at(int level, const char* file, int line) {
  LogBuf* buf = buffer();
  buf->level = level;
  buf->file = file;
  buf->line = line;
  return *this;
}

LogBuf* Log::buffer() { return static_cast<LogBuf*>(stream_.rdbuf()); }

}  // namespace velk
